# Windows: the portable ZIP of Orlup.exe and orlup-cli.exe, the help page and the licence, which
# F1 finds beside the program. Linux: the Debian package, below.
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

# The Debian package: the files a desktop install needs beside the two executables, made at
# build time from their single sources, and CPack's DEB generator.
set(PKG ${PROJECT_SOURCE_DIR}/packaging)
set(PKG_OUT ${PROJECT_BINARY_DIR}/packaging)
set(ORLUP_MAINTAINER "The Orlup developers <orlup@users.noreply.example>")

# The release day, kept as a timestamp so that every spelling of it below agrees.
set(ORLUP_RELEASE_EPOCH 1796688000)
set(savedEpoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${ORLUP_RELEASE_EPOCH})
string(TIMESTAMP ORLUP_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP ORLUP_RELEASE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${savedEpoch}")

# The copyright file carries the licence text of LICENSE in the form Debian asks for: indented,
# with " ." for an empty line.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
set(ORLUP_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright [^\n]+\n\n" "" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " ORLUP_LICENSE_TEXT " ${licence}")

foreach(file copyright changelog orlup.1 orlup-cli.1)
    configure_file(${PKG}/${file}.in ${PKG_OUT}/${file} @ONLY)
endforeach()
set(metainfo ${PKG_OUT}/${ORLUP_ID}.metainfo.xml)
configure_file(${PKG}/${ORLUP_ID}.metainfo.xml.in ${metainfo}.in @ONLY)

# Reads the USB ids from the model table, so that the udev rule and the metainfo cannot drift
# from what the program looks for.
add_executable(orlup-device-matches ${PKG}/MakeDeviceMatches.cpp)
target_link_libraries(orlup-device-matches PRIVATE orlup_platform)
add_custom_command(OUTPUT ${PKG_OUT}/70-orlup.rules
    COMMAND orlup-device-matches udev-rules ${PKG_OUT}/70-orlup.rules
    DEPENDS orlup-device-matches VERBATIM)
add_custom_command(OUTPUT ${metainfo}
    COMMAND orlup-device-matches metainfo ${metainfo}.in ${metainfo}
    DEPENDS orlup-device-matches ${metainfo}.in VERBATIM)

# Debian wants documentation gzipped without a timestamp, at maximum compression.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(packageData ${PKG_OUT}/70-orlup.rules ${metainfo})
foreach(file changelog orlup.1 orlup-cli.1)
    add_custom_command(OUTPUT ${PKG_OUT}/${file}.gz
        COMMAND ${GZIP_PROGRAM} -9nkf ${PKG_OUT}/${file} DEPENDS ${PKG_OUT}/${file} VERBATIM)
    list(APPEND packageData ${PKG_OUT}/${file}.gz)
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
    install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(orlup-package-data ALL DEPENDS ${packageData})

install(FILES ${PKG_OUT}/70-orlup.rules DESTINATION lib/udev/rules.d)
install(FILES ${PKG}/${ORLUP_ID}.desktop DESTINATION share/applications)
install(FILES ${metainfo} DESTINATION share/metainfo)
install(FILES ${iconMaster} DESTINATION share/icons/hicolor/scalable/apps RENAME ${ORLUP_ID}.svg)
install(FILES ${PKG_OUT}/orlup.1.gz ${PKG_OUT}/orlup-cli.1.gz DESTINATION share/man/man1)
install(FILES ${PKG_OUT}/copyright ${PKG_OUT}/changelog.gz DESTINATION share/doc/orlup)
install(FILES ${PKG}/orlup.lintian-overrides DESTINATION share/lintian/overrides RENAME orlup)

# No maintainer scripts: udevd reloads changed rule files by itself, and the update procedure
# re-powers the printer, whose new add event is what applies the rule.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orlup developers")
set(CPACK_PACKAGE_CONTACT "${ORLUP_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware loader for Ilvaran USB printers")
set(CPACK_PACKAGE_DESCRIPTION "\
Orlup loads new firmware into USB printers of the Ilvaran family (Ilvaran and
Ilvaran-II). The first four characters of the image's file name tell the
model; Orlup finds the attached printer of that model and sends it the image
while a progress bar fills.

The package contains the dialog (orlup), a command-line tool for scripted and
multi-printer work (orlup-cli), and a udev rule that gives the logged-in
desktop user access to the printers.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripBinaries.cmake)
set(CPACK_ORLUP_STRIP ${CMAKE_STRIP})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
