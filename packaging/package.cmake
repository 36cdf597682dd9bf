# The Debian package (make package): the calculator, its manual page, the copyright notice
# and the changelog, with dependencies that dpkg-shlibdeps computes from the executable.
set(EXACTCALC_MAINTAINER "The exactcalc authors <exactcalc-maintainers@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

# Debian keeps manual pages and changelogs compressed, without a time stamp inside.
set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/exactcalc.1.gz)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.in
               ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${manual_page}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/console/exactcalc.1 > ${manual_page}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/console/exactcalc.1)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${changelog}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_target(documentation ALL DEPENDS ${manual_page} ${changelog})

install(FILES ${manual_page} DESTINATION share/man/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright ${changelog}
        DESTINATION share/doc/exactcalc)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME exactcalc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EXACTCALC_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at a terminal rather than linked, so the library scan does not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libedit2 (>= 3.1)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact calculator for integers and fractions of any size")
set(CPACK_PACKAGE_DESCRIPTION
  "exactcalc reads one expression a line and answers with its exact value: a
whole number of any size, or a fraction in lowest terms. It knows + - * / ^,
n choose k and n !, never rounds, and writes every expression back fully
parenthesised, so that what it computed is plain to see.
.
At a terminal it offers line editing, a history kept across sessions and a
note on lines that take long, which Ctrl-C abandons. In scripts and pipes it
reads and answers line by line, with nothing added.")
include(CPack)
