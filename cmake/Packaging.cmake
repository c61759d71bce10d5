# Installation and the Debian package: the panel and the stand-in service
# under bin/, the desktop entry, the icon in the hicolor theme and the
# AppStream metainfo, all named after the application id.
include(GNUInstallDirs)

set(TELLURIX_APP_ID com.brightfen.TellurixPanel)

install(TARGETS TellurixPanel tellurix-sim tellurix-stability RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TELLURIX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TELLURIX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/ToolbarAbout.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME ${TELLURIX_APP_ID}.png)

set(CPACK_PACKAGE_NAME tellurix-panel)
set(CPACK_PACKAGE_VENDOR "Brightfen, LLC.")
set(CPACK_PACKAGE_CONTACT "Brightfen maintainers <maintainers@brightfen.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop control panel of the Tellurix2 time-synchronisation service")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Debian 12's Qt 5 runtime; qtwayland5 lets the panel run natively in a
# Wayland session (Debian's default desktop).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 12), libqt5core5a (>= 5.15), libqt5gui5 (>= 5.15) | libqt5gui5-gles (>= 5.15), libqt5widgets5 (>= 5.15), libqt5network5 (>= 5.15), libqt5serialport5 (>= 5.15), libqt5svg5 (>= 5.15), libqt5concurrent5 (>= 5.15), qtwayland5")
# A distribution updates its own packages: the Debian package is made only
# from a build with the update check off (cmake -DTELLURIX_UPDATE_CHECK=OFF);
# cpack -G DEB in any other build stops with a message.
set(CPACK_TELLURIX_UPDATE_CHECK ${TELLURIX_UPDATE_CHECK})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageCheck.cmake)
include(CPack)
