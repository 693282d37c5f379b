# Windows: `cpack -G NSIS` (or WIX) in the build folder makes the installer
# with the programs built and, for the GUI, the Qt libraries windeployqt
# gathers beside velsend.exe.
install(TARGETS velsend-cli RUNTIME DESTINATION bin)
if(VELSEND_BUILD_GUI)
    install(TARGETS velsend RUNTIME DESTINATION bin)
    # windeployqt sits beside qmake in Qt's bin folder.
    get_target_property(velsend_qmake Qt6::qmake IMPORTED_LOCATION)
    get_filename_component(velsend_qt_bin "${velsend_qmake}" DIRECTORY)
    find_program(VELSEND_WINDEPLOYQT windeployqt HINTS "${velsend_qt_bin}")
    if(VELSEND_WINDEPLOYQT)
        # Copies the Qt DLLs, plugins and translations the GUI needs into the
        # staged install folder, next to velsend.exe.
        install(CODE "
            execute_process(COMMAND \"${VELSEND_WINDEPLOYQT}\" --release --no-compiler-runtime
                --dir \"\${CMAKE_INSTALL_PREFIX}/bin\" \"\${CMAKE_INSTALL_PREFIX}/bin/velsend.exe\"
                COMMAND_ERROR_IS_FATAL ANY)")
    else()
        message(WARNING "windeployqt not found: the installer would lack the Qt libraries")
    endif()
endif()
install(FILES README.md DESTINATION doc)

set(CPACK_PACKAGE_NAME VelSend)
set(CPACK_PACKAGE_VENDOR "VelSend developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration and burner transfer tool for MX300K fire-alarm panels")
set(CPACK_PACKAGE_INSTALL_DIRECTORY VelSend)
set(CPACK_PACKAGE_EXECUTABLES velsend "VelSend")
set(CPACK_GENERATOR NSIS)
set(CPACK_NSIS_DISPLAY_NAME VelSend)
set(CPACK_NSIS_PACKAGE_NAME VelSend)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH ON)
# WiX instead of NSIS: cpack -G WIX; the upgrade code keeps one product id
# across versions so that a new installer replaces the old one.
set(CPACK_WIX_UPGRADE_GUID "6F1D2A7C-3B9E-4C1A-9E5D-2B7A40C8E311")
set(CPACK_WIX_PROGRAM_MENU_FOLDER VelSend)
include(CPack)
