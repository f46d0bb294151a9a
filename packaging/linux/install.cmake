# How the Linux launcher is installed and packed. The launcher takes the
# folder it lies in as the application's folder (Veltrana.jar and lib/
# beside it), so it goes to one folder of its own under the prefix, the
# prefix itself unless VELTRANA_APP_DESTINATION says otherwise:
#
#   cmake --install build/host-release --prefix /opt/veltrana
#   cpack --config build/host-release/CPackConfig.cmake    (a .tar.gz of the same)

include(GNUInstallDirs)
set(VELTRANA_APP_DESTINATION "." CACHE STRING
    "Folder under the install prefix that receives the launcher (the application's folder)")
install(TARGETS Veltrana RUNTIME DESTINATION "${VELTRANA_APP_DESTINATION}")
install(FILES "${CMAKE_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_PACKAGE_NAME Veltrana)
set(CPACK_PACKAGE_VERSION "${VELTRANA_VERSION_TEXT}")
set(CPACK_PACKAGE_VENDOR Orrindale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Native launcher of the Veltrana desktop application")
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_FILE_NAME "Veltrana-${VELTRANA_VERSION_TEXT}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
