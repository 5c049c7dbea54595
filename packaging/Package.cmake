# SPDX-License-Identifier: GPL-3.0-or-later
# Installation and packages: the game folder goes in whole, as one directory, because
# the game finds every file beside its executable. Included from the top CMakeLists.txt.
include(GNUInstallDirs)

set(QUORVEL_APP_ID "io.github.quorvel.Quorvel" CACHE STRING
    "AppStream id; also names the desktop entry and the icon")
set(QUORVEL_HOMEPAGE "https://github.com/quorvel/quorvel" CACHE STRING "Project home page")
set(QUORVEL_BUGTRACKER "${QUORVEL_HOMEPAGE}/issues" CACHE STRING "Where players report bugs")
# Where the committed screenshot is published: the release tag's copy of the file.
set(QUORVEL_SCREENSHOT_URL
    "https://raw.githubusercontent.com/quorvel/quorvel/v${PROJECT_VERSION}/data/screenshots/question.png"
    CACHE STRING "Published address of data/screenshots/question.png")
set(QUORVEL_MAINTAINER "The Quorvel developers <quorvel@users.noreply.github.com>" CACHE STRING
    "Package maintainer, name and address")

if(WIN32)
    # The installation directory is the game folder.
    set(QUORVEL_INSTALL_GAMEDIR "." CACHE STRING "Game folder, relative to the prefix")
else()
    set(QUORVEL_INSTALL_GAMEDIR "lib/games/quorvel" CACHE STRING
        "Game folder, relative to the prefix")
    set(QUORVEL_INSTALL_GAMESBINDIR "games" CACHE STRING
        "Where the link that starts the game goes, relative to the prefix")
endif()

set(pkg ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(src ${CMAKE_CURRENT_LIST_DIR})

# The game folder: the executable, then everything the data targets put beside it.
install(TARGETS quorvel RUNTIME DESTINATION ${QUORVEL_INSTALL_GAMEDIR})
install(DIRECTORY ${QUORVEL_GAME_DIR}/ DESTINATION ${QUORVEL_INSTALL_GAMEDIR}
        PATTERN quorvel EXCLUDE PATTERN quorvel.exe EXCLUDE)
install(TARGETS qvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
    # A relative link on the PATH; the game follows it back to its folder.
    file(RELATIVE_PATH link_target /${QUORVEL_INSTALL_GAMESBINDIR}
         /${QUORVEL_INSTALL_GAMEDIR}/quorvel)
    file(MAKE_DIRECTORY ${pkg}/link)
    file(CREATE_LINK ${link_target} ${pkg}/link/quorvel SYMBOLIC)
    install(FILES ${pkg}/link/quorvel DESTINATION ${QUORVEL_INSTALL_GAMESBINDIR})

    configure_file(${src}/quorvel.desktop.in ${pkg}/${QUORVEL_APP_ID}.desktop @ONLY)
    install(FILES ${pkg}/${QUORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    # The screenshot's size, from its PNG header.
    set(screenshot ${CMAKE_SOURCE_DIR}/data/screenshots/question.png)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${screenshot})
    file(READ ${screenshot} width OFFSET 16 LIMIT 4 HEX)
    file(READ ${screenshot} height OFFSET 20 LIMIT 4 HEX)
    math(EXPR QUORVEL_SCREENSHOT_WIDTH "0x${width}")
    math(EXPR QUORVEL_SCREENSHOT_HEIGHT "0x${height}")
    configure_file(${src}/quorvel.metainfo.xml.in ${pkg}/${QUORVEL_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${pkg}/${QUORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${src}/icons/quorvel.svg DESTINATION ${icons}/scalable/apps
            RENAME ${QUORVEL_APP_ID}.svg)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${src}/icons/quorvel-${size}.png DESTINATION ${icons}/${size}x${size}/apps
                RENAME ${QUORVEL_APP_ID}.png)
    endforeach()

    set(docdir ${CMAKE_INSTALL_DATADIR}/doc/quorvel)
    # Manual pages and the changelog are installed compressed, without a time stamp.
    find_program(QUORVEL_GZIP gzip)
    set(QUORVEL_DEB_VERSION ${PROJECT_VERSION}-1)
    configure_file(${src}/debian/changelog.in ${pkg}/doc/changelog.Debian @ONLY)
    set(compressed "")
    function(quorvel_doc source name destination)
        if(QUORVEL_GZIP)
            add_custom_command(
                OUTPUT ${pkg}/doc/${name}.gz
                COMMAND ${CMAKE_COMMAND} -E copy ${source} ${pkg}/doc/${name}
                COMMAND ${QUORVEL_GZIP} -9nf ${pkg}/doc/${name}
                DEPENDS ${source})
            install(FILES ${pkg}/doc/${name}.gz DESTINATION ${destination})
            set(compressed ${compressed} ${pkg}/doc/${name}.gz PARENT_SCOPE)
        else()
            install(FILES ${source} DESTINATION ${destination} RENAME ${name})
        endif()
    endfunction()
    file(MAKE_DIRECTORY ${pkg}/doc/ru)
    quorvel_doc(${src}/man/quorvel.6 quorvel.6 ${CMAKE_INSTALL_MANDIR}/man6)
    quorvel_doc(${src}/man/qvr.1 qvr.1 ${CMAKE_INSTALL_MANDIR}/man1)
    quorvel_doc(${src}/man/ru/quorvel.6 ru/quorvel.6 ${CMAKE_INSTALL_MANDIR}/ru/man6)
    quorvel_doc(${src}/man/ru/qvr.1 ru/qvr.1 ${CMAKE_INSTALL_MANDIR}/ru/man1)
    quorvel_doc(${pkg}/doc/changelog.Debian changelog.Debian ${docdir})
    add_custom_target(quorvel_docs ALL DEPENDS ${compressed})

    # Machine-readable copyright: the header, then the CC BY-SA 4.0 legal code
    # in the format's continuation lines.
    configure_file(${src}/debian/copyright.in ${pkg}/doc/copyright.head @ONLY)
    file(READ ${pkg}/doc/copyright.head copyright)
    file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSES/CC-BY-SA-4.0.txt legalcode)
    foreach(line IN LISTS legalcode)
        if(line STREQUAL "")
            string(APPEND copyright " .\n")
        else()
            string(APPEND copyright " ${line}\n")
        endif()
    endforeach()
    file(WRITE ${pkg}/doc/copyright.new "${copyright}")
    configure_file(${pkg}/doc/copyright.new ${pkg}/doc/copyright COPYONLY)
    install(FILES ${pkg}/doc/copyright DESTINATION ${docdir})

    install(FILES ${src}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME quorvel)
endif()

# Packages.
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "${QUORVEL_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Russian-language quiz game with a prize ladder")
# Lines kept under 80 characters: the package description is shown as written.
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvel is a single-player quiz game, all in Russian: fifteen questions
with four answers each, a prize ladder from 125 to 2 000 000 roubles with
guaranteed sums after the fifth and tenth questions, three lifelines once
per game, and music and sound at every stage.

The package also holds qvr, the tool that builds, reads and checks
question banks.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUORVEL_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quorvel)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian: the shared libraries come from dpkg-shlibdeps and follow whatever the binaries
# link. Listed here is only what the game opens at run time without linking it.
set(QUORVEL_DEB_DATA_DEPENDS
    timgm6mb-soundfont # /usr/share/sounds/sf2/TimGM6mb.sf2, named by the players
    fonts-liberation)  # Liberation Sans stands in for Arial
# The sound is synthesised in the process (libfluidsynth, libmpg123) and leaves through
# libpulse, all linked; a sound server is recommended, and without one the game plays
# on silently.
list(JOIN QUORVEL_DEB_DATA_DEPENDS ", " data_depends)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${data_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_MAINTAINER}")

if(WIN32)
    # A game, not a console program: no console window behind it.
    set_target_properties(quorvel PROPERTIES WIN32_EXECUTABLE ON)
    install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/LICENSE.data DESTINATION .)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/LICENSES DESTINATION .)
    set(CPACK_GENERATOR NSIS)
    set(CPACK_PACKAGE_EXECUTABLES quorvel "Кворвел")
    set(CPACK_NSIS_DISPLAY_NAME "Кворвел")
    set(CPACK_NSIS_PACKAGE_NAME "Кворвел")
    set(CPACK_NSIS_INSTALLED_ICON_NAME quorvel.exe)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # A Russian installer on every Windows: CMake's template with Russian as its only
    # language, written as Unicode.
    file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in nsis)
    string(REGEX REPLACE "!insertmacro MUI_LANGUAGE \"English\"[^\n]*" "@QUORVEL_LANGUAGE@"
           nsis "${nsis}")
    string(REGEX REPLACE "[ \t]*!insertmacro MUI_LANGUAGE \"[A-Za-z]+\"[^\n]*\n" "" nsis "${nsis}")
    string(REPLACE "@QUORVEL_LANGUAGE@" "!insertmacro MUI_LANGUAGE \"Russian\"" nsis "${nsis}")
    file(WRITE ${pkg}/nsis/NSIS.template.in "Unicode True\n${nsis}")
    list(PREPEND CMAKE_MODULE_PATH ${pkg}/nsis)
    set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -INPUTCHARSET UTF8)
elseif(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
endif()

include(CPack)
