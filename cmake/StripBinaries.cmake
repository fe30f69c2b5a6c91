# Run by CPack on the staged files: strips as dh_strip does, which also drops the compilers'
# .comment and .note sections that CMake's own strip leaves in.
file(GLOB binaries ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*)
foreach(binary ${binaries})
    execute_process(COMMAND ${CPACK_ORLUP_STRIP} --remove-section=.comment
                            --remove-section=.note ${binary} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
