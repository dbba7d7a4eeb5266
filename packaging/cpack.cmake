# The Debian package: cpack -G DEB in the build folder gives
# talvex_<version>_amd64.deb with the three programs, their man pages, the
# launcher's desktop entry and icon, and the check script examples.
set(pkg ${CMAKE_CURRENT_LIST_DIR})
# Packing takes what the build made; it does not build every test first (the
# package test runs cpack from inside the test run).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS talvex talvex-sim talvex-run RUNTIME DESTINATION bin)
foreach(page talvex talvex-sim talvex-run)
    configure_file(${pkg}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION share/man/man1)
endforeach()
install(FILES ${pkg}/talvex.desktop DESTINATION share/applications)
install(FILES ${pkg}/talvex.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/docs/talvex-run.md DESTINATION share/doc/talvex)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION share/doc/talvex/examples
        FILES_MATCHING PATTERN "*.tvx")

set(CPACK_PACKAGE_NAME talvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Talvex maintainers <talvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bench tool for card readers and card dispensers")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tries every command of six card reader models and two card dispenser models on "
    "RS-232 lines, shows the traffic, runs check scripts without a window "
    "(talvex-run) and simulates the devices (talvex-sim).")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# Debian's Qt 6 only; the platform plugins carry the window system.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), qt6-qpa-plugins (>= 6.4)")
include(CPack)
