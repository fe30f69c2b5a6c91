# Windows: the portable ZIP of Orlup.exe and orlup-cli.exe, the help page and the licence, which
# F1 finds beside the program. Linux: the install rules of what the Debian packages carry beside
# the two executables, below; debian/ builds and splits them.
if(WIN32)
    install(TARGETS Orlup orlup-cli RUNTIME DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/res/orlup-help.html ${PROJECT_SOURCE_DIR}/LICENSE
            DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME Orlup)
    set(CPACK_PACKAGE_VENDOR "The Orlup developers")
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_FILE_NAME Orlup-${PROJECT_VERSION}-win64)
    set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
    include(CPack)
    return()
endif()

include(GNUInstallDirs)
set(PKG ${PROJECT_SOURCE_DIR}/packaging)
set(PKG_OUT ${PROJECT_BINARY_DIR}/packaging)

# Relative to the prefix unless absolute; debian/rules gives the unit's as Debian 12 wants it.
set(ORLUP_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Folder of the udev rule")
set(ORLUP_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "Folder of the station's unit")
foreach(dir UDEV_RULES SYSTEMD_UNIT)
    cmake_path(ABSOLUTE_PATH ORLUP_${dir}_DIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
               NORMALIZE OUTPUT_VARIABLE ORLUP_FULL_${dir}_DIR)
endforeach()
set(ORLUP_STATION_CONF ${CMAKE_INSTALL_FULL_SYSCONFDIR}/orlup/station.conf)

include(${CMAKE_CURRENT_LIST_DIR}/Releases.cmake)

foreach(page orlup.1 orlup-cli.1)
    configure_file(${PKG}/${page}.in ${PKG_OUT}/${page} @ONLY)
    install(FILES ${PKG_OUT}/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# Reads the USB ids from the model table, so that the udev rule and the metainfo cannot drift
# from what the program looks for. Each package announces the printers: the dialog's for a
# software centre, orlup-cli's because it holds the udev rule and may be installed alone.
add_executable(orlup-device-matches ${PKG}/MakeDeviceMatches.cpp)
target_link_libraries(orlup-device-matches PRIVATE orlup_platform)
add_custom_command(OUTPUT ${PKG_OUT}/70-orlup.rules
    COMMAND orlup-device-matches udev-rules ${PKG_OUT}/70-orlup.rules
    DEPENDS orlup-device-matches VERBATIM)
set(packageData ${PKG_OUT}/70-orlup.rules)
set(ORLUP_CLI_ID org.orlup.orlup_cli)
foreach(id ${ORLUP_ID} ${ORLUP_CLI_ID})
    set(metainfo ${PKG_OUT}/${id}.metainfo.xml)
    configure_file(${PKG}/${id}.metainfo.xml.in ${metainfo}.in @ONLY)
    add_custom_command(OUTPUT ${metainfo}
        COMMAND orlup-device-matches metainfo ${metainfo}.in ${metainfo}
        DEPENDS orlup-device-matches ${metainfo}.in VERBATIM)
    list(APPEND packageData ${metainfo})
    install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()

# Every bitmap icon is rendered from the one drawing, so the sizes cannot disagree.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(iconMaster ${PROJECT_SOURCE_DIR}/res/orlup.svg)
foreach(size 16 22 24 32 48 64 128 256)
    set(icon ${PKG_OUT}/icons/${size}x${size}/${ORLUP_ID}.png)
    add_custom_command(OUTPUT ${icon}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon} ${iconMaster}
        DEPENDS ${iconMaster} VERBATIM)
    list(APPEND packageData ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(orlup-package-data ALL DEPENDS ${packageData})

configure_file(${PKG}/orlup-station.service.in ${PKG_OUT}/orlup-station.service @ONLY)

install(FILES ${PKG_OUT}/70-orlup.rules DESTINATION ${ORLUP_FULL_UDEV_RULES_DIR})
install(FILES ${PKG_OUT}/orlup-station.service DESTINATION ${ORLUP_FULL_SYSTEMD_UNIT_DIR})
install(FILES ${PKG}/station.conf DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/orlup)
install(FILES ${PKG}/orlup-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orlup-cli)
install(FILES ${PKG}/${ORLUP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${iconMaster} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORLUP_ID}.svg)
