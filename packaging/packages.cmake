# SPDX-License-Identifier: MIT
# The Debian packages: libjavtrg0 (the shared library), libjavtrg-dev (the
# header, the link to the library, the CMake and pkg-config files) and javtrg
# (the tool, its manual page and bash completion), built by `make package`
# with CPack's DEB generator from the install components `library`,
# `development` and `tool`. Everything a package says about itself is set
# here: maintainer, descriptions (the first line of each is its summary),
# sections, dependencies.

set(JAVTRG_MAINTAINER "javtrg maintainers <maintainers@javtrg.example>" CACHE STRING
    "Maintainer of the Debian packages, as Name <address>")
set(JAVTRG_SUMMARY "target driver turning drawing objects into a record stream")

set(JAVTRG_LIBRARY_DESCRIPTION "${JAVTRG_SUMMARY}
javtrg is a target driver that a host graphics-conversion engine loads to
turn a picture, one drawing object at a time, into a plain-text record
stream for a viewer: shapes, point lists, pens and fills, gradients,
palettes, clips, text boxes and texts in many encodings.

This package holds the shared library.")
set(JAVTRG_DEVELOPMENT_DESCRIPTION "${JAVTRG_SUMMARY} - development files
javtrg is a target driver that a host graphics-conversion engine loads to
turn a picture, one drawing object at a time, into a plain-text record
stream for a viewer.

This package holds what a host engine is built with: the boundary header
javtrg/host_services.h, the link to the library, and the CMake package
and pkg-config files.")
set(JAVTRG_TOOL_DESCRIPTION "converts drawings and object scripts into record streams with javtrg
The javtrg tool drives the javtrg target driver the way a host engine
does: it converts drawings (Visio, Publisher, CorelDRAW, WordPerfect
Graphics and other formats read by the Document Liberation libraries, and
Windows metafiles read by libwmf) and object scripts (JSON descriptions of
a picture's drawing objects) into record streams, one or many at a time,
highlights search terms in their text, checks record streams and draws them
as the viewer would, as SVG, HTML or PNG.")

# Programs the tool runs, and the packages that bring them: the tool's
# package depends on one when the built tool names the program.
set(JAVTRG_TOOL_PROGRAMS "")

# ---------------------------------------------------------------- documents
# The list of changes, checked against the project's version, and the
# manual page and completion written from the built tool's --help.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog.in JAVTRG_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT JAVTRG_CHANGELOG_TOP MATCHES "^javtrg \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog.in starts with '${JAVTRG_CHANGELOG_TOP}', "
                        "not an entry for version ${PROJECT_VERSION}")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(JAVTRG_GZIP gzip REQUIRED)
set(JAVTRG_DOCS ${PROJECT_BINARY_DIR}/packaging)
configure_file(packaging/changelog.in ${JAVTRG_DOCS}/changelog @ONLY)
add_custom_command(OUTPUT ${JAVTRG_DOCS}/changelog.gz
    COMMAND ${JAVTRG_GZIP} -9nf -k ${JAVTRG_DOCS}/changelog
    DEPENDS ${JAVTRG_DOCS}/changelog)
add_custom_command(OUTPUT ${JAVTRG_DOCS}/javtrg.1 ${JAVTRG_DOCS}/javtrg.bash-completion
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/help_pages.py $<TARGET_FILE:javtrg_tool>
            ${PROJECT_SOURCE_DIR}/packaging/javtrg.1.in ${JAVTRG_DOCS}/changelog
            ${JAVTRG_DOCS}/javtrg.1 ${JAVTRG_DOCS}/javtrg.bash-completion
    DEPENDS javtrg_tool ${PROJECT_SOURCE_DIR}/packaging/help_pages.py
            ${PROJECT_SOURCE_DIR}/packaging/javtrg.1.in ${JAVTRG_DOCS}/changelog)
add_custom_command(OUTPUT ${JAVTRG_DOCS}/javtrg.1.gz
    COMMAND ${JAVTRG_GZIP} -9nf -k ${JAVTRG_DOCS}/javtrg.1
    DEPENDS ${JAVTRG_DOCS}/javtrg.1)
add_custom_target(javtrg_help_pages ALL
    DEPENDS ${JAVTRG_DOCS}/javtrg.1.gz ${JAVTRG_DOCS}/javtrg.bash-completion ${JAVTRG_DOCS}/changelog.gz)

install(FILES ${JAVTRG_DOCS}/javtrg.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(FILES ${JAVTRG_DOCS}/javtrg.bash-completion DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
    RENAME javtrg COMPONENT tool)
foreach(component_package IN ITEMS library=libjavtrg0 development=libjavtrg-dev tool=javtrg)
    string(REPLACE "=" ";" component_package ${component_package})
    list(GET component_package 0 component)
    list(GET component_package 1 package)
    install(FILES packaging/copyright ${JAVTRG_DOCS}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

# The library's symbols, each with the version that first exported it
# (packaging/libjavtrg0.symbols): a program built against the package
# depends on libjavtrg0 of at least the newest version among the symbols it
# uses. The list must name exactly the entry points of the export map.
file(STRINGS ${PROJECT_SOURCE_DIR}/driver/javtrg.map JAVTRG_EXPORTS REGEX "^    [A-Za-z_][A-Za-z0-9_]*;$")
list(TRANSFORM JAVTRG_EXPORTS REPLACE "^ +([A-Za-z0-9_]+);$" "\\1")
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/libjavtrg0.symbols JAVTRG_SYMBOLS REGEX "^ [A-Za-z_]")
list(TRANSFORM JAVTRG_SYMBOLS REPLACE "^ ([A-Za-z0-9_]+)@.*$" "\\1")
list(SORT JAVTRG_EXPORTS)
list(SORT JAVTRG_SYMBOLS)
if(NOT JAVTRG_EXPORTS STREQUAL JAVTRG_SYMBOLS)
    message(FATAL_ERROR "packaging/libjavtrg0.symbols does not list the entry points of driver/javtrg.map: "
                        "${JAVTRG_SYMBOLS} against ${JAVTRG_EXPORTS}")
endif()
configure_file(packaging/libjavtrg0.symbols ${JAVTRG_DOCS}/control/symbols COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/driver/javtrg.map)
file(WRITE ${JAVTRG_DOCS}/control/triggers "activate-noawait ldconfig\n")

# ---------------------------------------------------------------- CPack
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development tool)
set(CPACK_PACKAGE_NAME javtrg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the javtrg developers")
set(CPACK_PACKAGE_CONTACT "${JAVTRG_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE javtrg)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libjavtrg${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "${JAVTRG_LIBRARY_DESCRIPTION}")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA "${JAVTRG_DOCS}/control/symbols;${JAVTRG_DOCS}/control/triggers")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/drop_ldconfig_calls.cmake)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libjavtrg-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "${JAVTRG_DEVELOPMENT_DESCRIPTION}")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libjavtrg${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME javtrg)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "${JAVTRG_TOOL_DESCRIPTION}")
# dpkg-shlibdeps adds the libraries the tool links; the driver it loads
# with dlopen, and the programs it runs, are added here.
set(JAVTRG_TOOL_DEPENDS "libjavtrg${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${JAVTRG_TOOL_DEPENDS}")
# The preview names these font families; without them fontconfig draws the
# text in whatever it finds.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-dejavu-extra, fonts-noto-cjk, fonts-urw-base35")
file(GENERATE OUTPUT ${JAVTRG_DOCS}/cpack_project.cmake CONTENT "\
# Adds to the tool's dependencies the package of each program the built tool names.
foreach(program_package IN ITEMS ${JAVTRG_TOOL_PROGRAMS})
    string(REPLACE \"=\" \";\" program_package \${program_package})
    list(GET program_package 0 program)
    list(GET program_package 1 package)
    file(STRINGS \"$<TARGET_FILE:javtrg_tool>\" named REGEX \"^\${program}$\")
    if(named)
        string(APPEND CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS \", \${package}\")
    endif()
endforeach()
")
set(CPACK_PROJECT_CONFIG_FILE ${JAVTRG_DOCS}/cpack_project.cmake)
include(CPack)
