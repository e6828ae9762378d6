# The Debian package: cpack -G DEB in the build folder gives
# testlork_<version>_<arch>.deb with its dependencies taken from the binaries.
set(CPACK_PACKAGE_NAME testlork)
# The whole version, as the about box and --version give it.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "testlork")
set(LORK_MAINTAINER "testlork maintainers <maintainers@testlork.ru>" CACHE STRING
    "The package's maintainer, Name <address>, as Debian's control file and changelog name it")
set(CPACK_PACKAGE_CONTACT "${LORK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LORK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "link test and configuration tool for the LORK panel instrument")
set(CPACK_PACKAGE_DESCRIPTION
    "testlork connects the PC to a LORK panel instrument over an RS-485 line\n(a USB-RS485 adapter, a serial port or a network gateway) and talks to\nit as Modbus RTU master: live readings and periodic polling, parameters\nand interface settings, calibration at 0 % and 100 %, and a search of\nthe line for instruments.\n.\nThe package holds three programs: testlork, the window; lorkctl, the\nsame commands from the command line for scripts and test benches; and\nlork-sim, an instrument simulator on a pseudo-terminal. The operator's\nguide (Russian, PDF) and the manual pages come with them.")

# What Debian asks of every package's documentation folder: the copyright in
# the machine-readable format and the changelog, compressed.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND sh -c "${GZIP} -9n -c '${CMAKE_BINARY_DIR}/debian/changelog' > '${CMAKE_BINARY_DIR}/debian/changelog.gz'"
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(lork_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so the binaries do not name them: the display
# plugins, and the opener of the help document.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, man-db")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
