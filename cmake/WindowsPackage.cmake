# What a vendor ships to Windows users: the updater and the clock control. The installer
# (NSIS, 64-bit, our own script) installs them for the current user or for all users and
# registers the control for the one or the other; a ZIP holds the same two files.
install(TARGETS updatelirvane RUNTIME DESTINATION .)
install(TARGETS tavorix LIBRARY DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME "Velkora Lirvane")
set(CPACK_PACKAGE_VENDOR "Velkora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "velkora-lirvane-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The installer: build-windows/velkora-lirvane-VERSION-win64.exe, of the stripped programs.
find_program(MAKENSIS makensis)
set(INSTALLER_FILE ${CMAKE_BINARY_DIR}/velkora-lirvane-${PROJECT_VERSION}-win64.exe)
set(installer_files ${CMAKE_BINARY_DIR}/installer-files)
set(UPDATER_FILE ${installer_files}/updatelirvane.exe)
set(CONTROL_FILE ${installer_files}/tavorix.ocx)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-installer.nsi.in ${CMAKE_BINARY_DIR}/windows-installer.nsi @ONLY)
add_custom_command(OUTPUT ${INSTALLER_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${installer_files}
    COMMAND ${CMAKE_STRIP} -o ${UPDATER_FILE} $<TARGET_FILE:updatelirvane>
    COMMAND ${CMAKE_STRIP} -o ${CONTROL_FILE} $<TARGET_FILE:tavorix>
    COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 ${CMAKE_BINARY_DIR}/windows-installer.nsi
    DEPENDS ${CMAKE_BINARY_DIR}/windows-installer.nsi updatelirvane tavorix
    COMMENT "Building the installer ${INSTALLER_FILE}")
add_custom_target(windows-installer DEPENDS ${INSTALLER_FILE})
