# What a vendor ships to Windows users: the updater, the clock control and the tools in one
# folder of the user's choice, as an NSIS installer (64-bit) that registers the control on
# install and unregisters it on uninstall, and as a ZIP of the same folder.
install(TARGETS updatelirvane inetfile tavorix-container RUNTIME DESTINATION .)
install(TARGETS tavorix LIBRARY DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME "Velkora Lirvane")
set(CPACK_PACKAGE_VENDOR "Velkora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "velkora-lirvane-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Velkora Lirvane")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Velkora Lirvane")
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_PACKAGE_NAME "Velkora Lirvane")
set(CPACK_NSIS_DISPLAY_NAME "Velkora Lirvane")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DEFINES "Target amd64-unicode")  # NSIS's 32-bit stub needs a 32-bit Windows
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The control registers itself: the installer calls its DllRegisterServer, and its
# DllUnregisterServer before the files go.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "RegDLL '$INSTDIR\\\\tavorix.ocx'")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "UnRegDLL '$INSTDIR\\\\tavorix.ocx'")
include(CPack)
