# SPDX-License-Identifier: MIT
# Run by CPack after it has written the packages. CPack gives a library
# installed under /usr/lib postinst and postrm scripts that run ldconfig;
# the library's package activates dpkg's ldconfig trigger instead, so the
# two scripts are taken out and the package is written again.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name "${deb}" NAME)
    if(NOT name MATCHES "^libjavtrg[0-9]+_")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${deb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
