# Road 1, the test mode, end to end: the real exe against nginx on the demo deployment's
# fixed ports (demo_ports); one case writes the registry value of an existing install
# (default_install). Then the release tool: natively on its own, and under Wine the
# agreement of `check` with the installer on the engine's refusal release folders.
if(WIN32)
    tolbex_e2e(proef_test proef_test.py)
    set_property(TEST proef_test PROPERTY RESOURCE_LOCK demo_ports default_install)
    tolbex_e2e(release_check_agrees_test release_check_agrees_test.py RESOURCE_LOCK demo_ports)
else()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME release_tool_test
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/release_tool_test.py -v)
    set_tests_properties(release_tool_test PROPERTIES ENVIRONMENT
        "TOLBEX_PUBLISH=$<TARGET_FILE:tolbex-publish>;TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/support")
endif()
