# The releases, from debian/changelog: the one place where a version gets its date. Its newest
# entry must be project(VERSION) with a Debian revision, so that the packages, the programs'
# --version and the metainfo cannot name different versions.
#
# Sets ORLUP_RELEASE_DATE (YYYY-MM-DD, the day this version was first packaged) and
# ORLUP_APPSTREAM_RELEASES (a <release/> line per version, newest first).
set(changelogFile ${PROJECT_SOURCE_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelogFile})
file(READ ${changelogFile} changelog)
string(PREPEND changelog "\n")
string(REGEX MATCHALL "\n[a-z0-9.+-]+ \\([^)\n]+\\)" headings "${changelog}")
string(REGEX MATCHALL "\n -- [^\n]*>  [^\n]+" trailers "${changelog}")
list(LENGTH headings entryCount)
list(LENGTH trailers trailerCount)
if(entryCount EQUAL 0 OR NOT entryCount EQUAL trailerCount)
    message(FATAL_ERROR "${changelogFile}: ${entryCount} entries but ${trailerCount} trailer lines")
endif()

set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(versions)
set(dates)
math(EXPR last "${entryCount} - 1")
foreach(i RANGE ${last})
    list(GET headings ${i} heading)
    list(GET trailers ${i} trailer)
    # An epoch and the Debian revision are the packages' business, not the program's.
    string(REGEX REPLACE "^\n[^ ]+ \\(([0-9]+:)?(.+)-[^-]+\\)$" "\\2" version "${heading}")
    if(version STREQUAL heading)
        message(FATAL_ERROR "${changelogFile}: no Debian revision in \"${heading}\"")
    endif()
    if(NOT trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
        message(FATAL_ERROR "${changelogFile}: no RFC 5322 date in \"${trailer}\"")
    endif()
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1")
    set(day ${CMAKE_MATCH_1})
    foreach(part month day)
        string(LENGTH "${${part}}" length)
        if(length EQUAL 1)
            set(${part} 0${${part}})
        endif()
    endforeach()
    set(date ${CMAKE_MATCH_3}-${month}-${day})
    # Entries run newest first: a later entry of the same version is an older revision, and a
    # version's date is that of its first package.
    list(FIND versions ${version} known)
    if(known EQUAL -1)
        list(APPEND versions ${version})
        list(APPEND dates ${date})
    else()
        list(REMOVE_AT dates ${known})
        list(INSERT dates ${known} ${date})
    endif()
endforeach()

list(GET versions 0 newest)
if(NOT newest STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "debian/changelog's newest entry is version ${newest}, project(VERSION) "
                        "is ${PROJECT_VERSION}: add an entry (dch -v ${PROJECT_VERSION}-1) "
                        "or correct the one that is there")
endif()
list(GET dates 0 ORLUP_RELEASE_DATE)

set(ORLUP_APPSTREAM_RELEASES)
foreach(version date IN ZIP_LISTS versions dates)
    string(APPEND ORLUP_APPSTREAM_RELEASES
           "    <release version=\"${version}\" date=\"${date}\"/>\n")
endforeach()
string(STRIP "${ORLUP_APPSTREAM_RELEASES}" ORLUP_APPSTREAM_RELEASES)
