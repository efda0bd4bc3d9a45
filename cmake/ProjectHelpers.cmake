# The system the build is for: the suffix of the files that implement a platform interface
# (posix or win32).
if(WIN32)
    set(PROJECT_PLATFORM win32)
else()
    set(PROJECT_PLATFORM posix)
endif()

# Warnings and language settings shared by every target of the project.
function(project_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(WIN32)
        # The wide forms of the system's calls by default: texts are UTF-16 inside.
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
    endif()
    if(WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A static library of the project: project_add_library(name SOURCES ... LINK ...)
function(project_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
    project_target_defaults(${name})
endfunction()

# One GoogleTest executable registered with CTest:
#   project_add_test(name [WIDGETS [X11]] SOURCES ... LINK ... [ENVIRONMENT VAR=VALUE...] [RUN_WITH COMMAND...])
# WIDGETS runs the tests inside a QApplication on Qt's offscreen platform (Linux); X11 runs them
# on a virtual X server of their own instead, for what only the window system shows (on Windows,
# Wine's windows on the test run's display). RUN_WITH names a command that runs the test program
# (with its arguments after its own), to prepare what the tests need first.
function(project_add_test name)
    cmake_parse_arguments(ARG "WIDGETS;X11" "" "SOURCES;LINK;ENVIRONMENT;RUN_WITH" ${ARGN})
    if(ARG_WIDGETS AND NOT WIN32)
        add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/widgets_test_main.cpp)
        target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    else()
        add_executable(${name} ${ARG_SOURCES})
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(platform offscreen)
    set(display "")
    if(ARG_X11)
        set(platform xcb)
        # Wine's windows show on the display of the test run (scripts/test windows).
        if(NOT WIN32)
            set(display xvfb-run -a)
        endif()
    endif()
    project_target_defaults(${name})
    # Each test runs with its environment set by `cmake -E env` (properties of discovered tests
    # keep only the first variable of a list): loopback test servers must be reached directly,
    # whatever proxy the machine names, and the servers a test starts are registered.
    set(runner ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=${platform} no_proxy=127.0.0.1,localhost
        NO_PROXY=127.0.0.1,localhost TEST_PROCESS_DIR=${PROJECT_TEST_PROCESS_DIR} ${ARG_ENVIRONMENT}
        ${ARG_RUN_WITH} ${display} ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${runner}")
    # Listing the tests starts the program once (under Wine, on a loaded machine, in far more
    # than googletest's 5 s): the limit is the one for a whole test, not a guess at the load.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
                         PROPERTIES FIXTURES_REQUIRED test_processes)
endfunction()

include(GoogleTest)

# Every test registers the servers it starts in one folder, and a last test fails when any of
# them is still running: tests leave nothing behind.
set(PROJECT_TEST_PROCESS_DIR ${CMAKE_BINARY_DIR}/test-processes)
function(project_test_hygiene test)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "TEST_PROCESS_DIR=${PROJECT_TEST_PROCESS_DIR}")
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED test_processes)
endfunction()

# Windows: an INTERFACE target `name` that imports the system library `library` (its import
# library lib<library>.a of the toolchain) delay-loaded from `dll`: the program starts without
# it and loads it at its first call. Made when configuring, from the import library's names.
function(project_delay_loaded_library name library dll)
    find_library(${name}_IMPORT NAMES lib${library}.a REQUIRED NO_CACHE)
    find_program(PROJECT_NM NAMES ${CMAKE_CXX_COMPILER_TARGET}-nm x86_64-w64-mingw32-nm REQUIRED)
    find_program(PROJECT_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
    set(folder ${CMAKE_BINARY_DIR}/delay-loaded)
    set(delayed ${folder}/lib${library}_delayed.a)
    if(NOT EXISTS ${delayed} OR ${${name}_IMPORT} IS_NEWER_THAN ${delayed})
        file(MAKE_DIRECTORY ${folder})
        execute_process(COMMAND ${PROJECT_NM} -g --defined-only ${${name}_IMPORT}
                        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
        string(REGEX MATCHALL "I __imp_[A-Za-z0-9_@]+" imports "${symbols}")
        list(TRANSFORM imports REPLACE "^I __imp_" "")
        list(REMOVE_DUPLICATES imports)
        list(JOIN imports "\n" exports)
        file(WRITE ${folder}/${library}.def "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
        execute_process(COMMAND ${PROJECT_DLLTOOL} --input-def ${folder}/${library}.def --dllname ${dll}
                                --output-delaylib ${delayed} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${delayed})
endfunction()

# One test of a whole program, run by a shell script with `ARGS`, with what every test here
# has: loopback servers reached directly, under Wine the build's own prefix, the servers it
# starts registered. SERIAL runs it alone (it ends Wine's server or changes the prefix).
#   project_add_script_test(name SCRIPT script [SERIAL] ARGS ...)
function(project_add_script_test name)
    cmake_parse_arguments(ARG "SERIAL" "SCRIPT" "ARGS" ${ARGN})
    add_test(NAME ${name} COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SCRIPT} ${ARG_ARGS})
    set(environment "no_proxy=127.0.0.1,localhost;NO_PROXY=127.0.0.1,localhost")
    if(WIN32)
        list(APPEND environment "WINEPREFIX=${CMAKE_BINARY_DIR}/wine;WINEDEBUG=-all")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
    if(ARG_SERIAL)
        set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
    endif()
    project_test_hygiene(${name})
endfunction()
