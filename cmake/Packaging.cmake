# `cmake --install BUILD --prefix DIR` installs the program; `cpack -G DEB` in the build
# directory makes a Debian package whose dependencies dpkg-shlibdeps reads off the
# libraries the program and its modules link.
install(TARGETS slidetrack RUNTIME DESTINATION ${SLIDETRACK_INSTALL_BINDIR})

set(CPACK_PACKAGE_NAME slidetrack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "slidetrack maintainers <slidetrack@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
