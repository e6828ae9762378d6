# The Debian package: cpack -G DEB in the build folder gives
# testlork_<version>_<arch>.deb with its dependencies taken from the binaries.
set(CPACK_PACKAGE_NAME testlork)
# The whole version, as the about box and --version give it.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "testlork")
set(CPACK_PACKAGE_CONTACT "testlork maintainers <testlork@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "link test and configuration tool for the LORK panel instrument")
set(CPACK_PACKAGE_DESCRIPTION
    "testlork connects the PC to a LORK panel instrument over an RS-485 line\n(a USB-RS485 adapter, a serial port or a network gateway) and talks to\nit as Modbus RTU master: live readings and periodic polling, parameters\nand interface settings, calibration at 0 % and 100 %, and a search of\nthe line for instruments. The package also holds the instrument\nsimulator lork-sim and the operator's guide (Russian, PDF).")
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
