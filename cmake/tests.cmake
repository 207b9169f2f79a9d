# tolbex_test(NAME SOURCES... [WINDOWS] [LIBS ...] [LABELS ...] [PROPS ...])
#   A GoogleTest program. Without WINDOWS it is pure logic and builds in both presets;
#   with WINDOWS it builds only for Windows and runs under Wine.
function(tolbex_test name)
    cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS;LABELS;PROPS" ${ARGN})
    if(T_WINDOWS AND NOT WIN32)
        return()
    endif()
    add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    if(WIN32)
        target_link_options(${name} PRIVATE -static)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "TOLBEX_BUILD_DIR=${CMAKE_BINARY_DIR};TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
    if(T_PROPS)
        set_tests_properties(${name} PROPERTIES ${T_PROPS})
    endif()
endfunction()

# tolbex_e2e(NAME SCRIPT [test properties...])
#   A Python unittest script from the folder of the calling cmake file, run against the
#   Windows build; tests/support is on its path (harness.py, servers.py).
function(tolbex_e2e name script)
    if(NOT WIN32)
        return()
    endif()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    # The interpreter by path, not as the imported target: ctest puts the cross-compiling
    # emulator (wine-run) in front of every executable target, and a Linux python3 started
    # through Wine loses its exit code, so a failing script would count as passed.
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/${script} -v)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "TOLBEX_BUILD_DIR=${CMAKE_BINARY_DIR};TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/support"
        ${ARGN})
endfunction()
