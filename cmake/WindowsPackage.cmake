# What a vendor ships to Windows users: the updater, the clock control and, when the vendor
# names it, its own program with its release signature. The installer (NSIS, 64-bit, our own
# script) installs them for the current user or for all users with entries in the Start menu;
# a ZIP holds the same files. With the vendor's Authenticode certificate the updater, the
# control, the installer and its uninstaller are signed (cmake/BuildWindowsPackage.cmake).
install(TARGETS updatelirvane RUNTIME DESTINATION .)
install(TARGETS tavorix LIBRARY DESTINATION .)

set(VENDOR_PROGRAM "" CACHE FILEPATH "The vendor's VelkoraLirvane.exe, shipped in the Windows package beside the updater")
set(AUTHENTICODE_PKCS12 "" CACHE FILEPATH "The vendor's Authenticode certificate and key (PKCS#12): signs the Windows programs and installer")
set(AUTHENTICODE_PASSWORD_FILE "" CACHE FILEPATH "A file holding the password of AUTHENTICODE_PKCS12")
set(AUTHENTICODE_TIMESTAMP_URL "" CACHE STRING "A time-stamp server for the signatures (RFC 3161); empty: none")
if(AUTHENTICODE_PKCS12)
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
endif()
find_program(MAKENSIS makensis)

set(package_files ${CMAKE_BINARY_DIR}/velkora-lirvane-${PROJECT_VERSION}-win64.exe
                  ${CMAKE_BINARY_DIR}/velkora-lirvane-${PROJECT_VERSION}-win64.zip)
add_custom_command(OUTPUT ${package_files}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT_DIR=${CMAKE_BINARY_DIR} -DVERSION=${PROJECT_VERSION}
            -DUPDATER=$<TARGET_FILE:updatelirvane> -DCONTROL=$<TARGET_FILE:tavorix>
            -DSTRIP=${CMAKE_STRIP} -DMAKENSIS=${MAKENSIS}
            -DVENDOR_PROGRAM=${VENDOR_PROGRAM} -DRELEASE_SIGNATURE=${UPDATE_RELEASE_SIGNATURE}
            -DAUTHENTICODE_PKCS12=${AUTHENTICODE_PKCS12} -DAUTHENTICODE_PASSWORD_FILE=${AUTHENTICODE_PASSWORD_FILE}
            -DAUTHENTICODE_TIMESTAMP_URL=${AUTHENTICODE_TIMESTAMP_URL} -DOSSLSIGNCODE=${OSSLSIGNCODE}
            -P ${CMAKE_CURRENT_LIST_DIR}/BuildWindowsPackage.cmake
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/BuildWindowsPackage.cmake ${CMAKE_CURRENT_LIST_DIR}/windows-installer.nsi.in
            updatelirvane tavorix ${VENDOR_PROGRAM} ${UPDATE_RELEASE_SIGNATURE}
    COMMENT "Building the installer and the ZIP of the Windows package")
add_custom_target(windows-installer DEPENDS ${package_files})
