# Builds the Windows installer and the ZIP of the same files, in script mode:
#   cmake -DOUTPUT_DIR=... -DVERSION=... -DUPDATER=... -DCONTROL=... -DSTRIP=... -DMAKENSIS=...
#         [-DVENDOR_PROGRAM=... [-DRELEASE_SIGNATURE=...]]
#         [-DAUTHENTICODE_PKCS12=... -DAUTHENTICODE_PASSWORD_FILE=... [-DAUTHENTICODE_TIMESTAMP_URL=...]
#          -DOSSLSIGNCODE=...] -P BuildWindowsPackage.cmake
# The build's target windows-installer runs it with the build's settings; a test runs it with a
# vendor's program and a certificate of its own. With -DSIGN_FILE=FILE it only signs FILE in
# place, as the installer's own build asks it to for the installer and its uninstaller.
cmake_minimum_required(VERSION 3.25)

# Signs FILE in place with the vendor's Authenticode certificate (SHA-256; a time stamp when a
# server is named).
function(sign file)
    set(timestamp)
    if(AUTHENTICODE_TIMESTAMP_URL)
        set(timestamp -ts ${AUTHENTICODE_TIMESTAMP_URL})
    endif()
    execute_process(COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${AUTHENTICODE_PKCS12} -readpass ${AUTHENTICODE_PASSWORD_FILE}
                            -h sha256 -n "Velkora Lirvane" ${timestamp} -in ${file} -out ${file}.signed
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE error)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Cannot sign ${file}: ${error}")
    endif()
    file(RENAME ${file}.signed ${file})
endfunction()

if(SIGN_FILE)
    sign(${SIGN_FILE})
    return()
endif()

set(files ${OUTPUT_DIR}/installer-files)
file(REMOVE_RECURSE ${files})
file(MAKE_DIRECTORY ${files})
foreach(program UPDATER CONTROL)
    get_filename_component(name ${${program}} NAME)
    execute_process(COMMAND ${STRIP} -o ${files}/${name} ${${program}} COMMAND_ERROR_IS_FATAL ANY)
    if(AUTHENTICODE_PKCS12)
        sign(${files}/${name})
    endif()
endforeach()
# The vendor's program goes as the vendor built it (and signed it, if it did): its release
# signature is of these very bytes.
set(defines)
if(VENDOR_PROGRAM)
    file(COPY_FILE ${VENDOR_PROGRAM} ${files}/VelkoraLirvane.exe)
    list(APPEND defines -DVENDOR_PROGRAM)
    if(RELEASE_SIGNATURE)
        file(COPY_FILE ${RELEASE_SIGNATURE} ${files}/VelkoraLirvane.exe.minisig)
        list(APPEND defines -DRELEASE_SIGNATURE)
    endif()
endif()
if(AUTHENTICODE_PKCS12)
    # The installer and the uninstaller it writes are signed once made, by this script again.
    set(sign_command "\"${CMAKE_COMMAND}\" -DSIGN_FILE=%1 -DOSSLSIGNCODE=${OSSLSIGNCODE} -DAUTHENTICODE_PKCS12=${AUTHENTICODE_PKCS12} -DAUTHENTICODE_PASSWORD_FILE=${AUTHENTICODE_PASSWORD_FILE} -DAUTHENTICODE_TIMESTAMP_URL=${AUTHENTICODE_TIMESTAMP_URL} -P \"${CMAKE_CURRENT_LIST_FILE}\"")
    list(APPEND defines "-DSIGN=${sign_command}")
endif()

set(INSTALLER_FILE ${OUTPUT_DIR}/velkora-lirvane-${VERSION}-win64.exe)
set(PROJECT_VERSION ${VERSION})
set(FILES ${files})
file(REMOVE ${INSTALLER_FILE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-installer.nsi.in ${OUTPUT_DIR}/windows-installer.nsi @ONLY)
execute_process(COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 ${defines} ${OUTPUT_DIR}/windows-installer.nsi
                COMMAND_ERROR_IS_FATAL ANY)

file(GLOB shipped RELATIVE ${files} ${files}/*)
set(zip ${OUTPUT_DIR}/velkora-lirvane-${VERSION}-win64.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${shipped} WORKING_DIRECTORY ${files}
                COMMAND_ERROR_IS_FATAL ANY)
