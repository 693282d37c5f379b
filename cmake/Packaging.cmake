# `cpack -G DEB` in the build folder makes velsend_<version>_amd64.deb with the
# three programs, the desktop entry, the icon, the manual pages and the user guide.
include(GNUInstallDirs)

install(TARGETS velsend-cli velsend-burner-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VELSEND_BUILD_GUI)
    install(TARGETS velsend RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES packaging/velsend.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velsend.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The user guide ("帮助 → 使用说明" opens it from here).
install(DIRECTORY docs/guide/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velsend/guide)
install(FILES packaging/velsend-cli.1 packaging/velsend-burner-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME velsend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VelSend developers <velsend@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration and burner transfer tool for MX300K fire-alarm panels")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"VelSend edits one installation's project data (bus devices per loop,
linkage logic, the phrase library, node settings, project info) and sends
it over a serial line to the burner that writes the panel's data chip.
It also backs up and restores chips, writes SD-card packs and text lists,
and exchanges data with spreadsheets.

Serial ports belong to the dialout group: add each user who talks to the
burner to it (sudo usermod -aG dialout USER) and log in again.

velsend-burner-sim plays the burner on a pseudo-terminal for rehearsals.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
