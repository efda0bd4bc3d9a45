# The libraries of each system, under one name each for the targets that use them:
# sodium_library (signature checks), libxml2_library (HTML text), zstd_library (the smaller
# forms of a release) and GoogleTest's targets.
# Linux takes Debian's packages, with Qt and libcurl; Windows takes the platform's own APIs
# and the libraries that scripts/windows-libraries cross-built into the build tree.
add_library(sodium_library INTERFACE)
add_library(libxml2_library INTERFACE)
add_library(nlohmann_json_library INTERFACE)  # header-only: the window layout's JSON
add_library(zstd_library INTERFACE)
if(WIN32)
    find_path(SODIUM_INCLUDE_DIR sodium.h REQUIRED)
    find_library(SODIUM_LIBRARY NAMES libsodium.a REQUIRED)
    find_path(LIBXML2_INCLUDE_DIR libxml/HTMLparser.h PATH_SUFFIXES libxml2 REQUIRED)
    find_library(LIBXML2_LIBRARY NAMES libxml2.a REQUIRED)
    target_include_directories(sodium_library SYSTEM INTERFACE ${SODIUM_INCLUDE_DIR})
    target_link_libraries(sodium_library INTERFACE ${SODIUM_LIBRARY} advapi32)
    target_compile_definitions(sodium_library INTERFACE SODIUM_STATIC)
    target_include_directories(libxml2_library SYSTEM INTERFACE ${LIBXML2_INCLUDE_DIR})
    target_link_libraries(libxml2_library INTERFACE ${LIBXML2_LIBRARY} ws2_32 bcrypt)
    target_compile_definitions(libxml2_library INTERFACE LIBXML_STATIC)
    find_path(ZSTD_INCLUDE_DIR zstd.h REQUIRED)
    find_library(ZSTD_LIBRARY NAMES libzstd.a REQUIRED)
    target_include_directories(zstd_library SYSTEM INTERFACE ${ZSTD_INCLUDE_DIR})
    target_link_libraries(zstd_library INTERFACE ${ZSTD_LIBRARY})
    find_path(NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp REQUIRED)
    target_include_directories(nlohmann_json_library SYSTEM INTERFACE ${NLOHMANN_JSON_INCLUDE_DIR})

    # The system's libraries that are no KnownDLLs, delay-loaded: each is loaded at its first
    # call, by then from System32 alone (shell::loadLibrariesFromSystemOnly), never at the start
    # from whatever file of its name lies beside the program.
    project_delay_loaded_library(wininet_library wininet WININET.dll)
    project_delay_loaded_library(crypt32_library crypt32 CRYPT32.dll)
    project_delay_loaded_library(version_library version VERSION.dll)

    # GoogleTest from Debian's sources, built for this system with the project.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
    find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
    find_package(CURL REQUIRED)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
    pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
    pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
    target_link_libraries(zstd_library INTERFACE PkgConfig::ZSTD)
    find_package(GTest REQUIRED)
    target_link_libraries(sodium_library INTERFACE PkgConfig::SODIUM)
    target_link_libraries(libxml2_library INTERFACE PkgConfig::LIBXML2)
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(nlohmann_json_library INTERFACE nlohmann_json::nlohmann_json)
endif()
