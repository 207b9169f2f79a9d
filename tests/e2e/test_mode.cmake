# Road 1, the test mode, end to end: the real exe against nginx on the demo deployment's
# fixed ports (demo_ports); one case writes the registry value of an existing install
# (default_install). Then the release tool: natively on its own and against live servers
# on loopback, and under Wine the agreement of `check` with the installer on the
# engine's refusal release folders.
if(WIN32)
    tolbex_e2e(test_mode_test test_mode_test.py TIMEOUT 1200)
    set_property(TEST test_mode_test PROPERTY RESOURCE_LOCK demo_ports default_install)
    tolbex_e2e(release_check_agrees_test release_check_agrees_test.py RESOURCE_LOCK demo_ports
               TIMEOUT 1200)
else()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    # keygen and sign, checked with openssl.
    add_test(NAME publish_keys_test
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/publish_keys_test.py -v)
    set_tests_properties(publish_keys_test PROPERTIES ENVIRONMENT
        "TOLBEX_PUBLISH=$<TARGET_FILE:tolbex-publish>;TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/support")
    add_test(NAME release_tool_test
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/release_tool_test.py -v)
    set_tests_properties(release_tool_test PROPERTIES ENVIRONMENT
        "TOLBEX_PUBLISH=$<TARGET_FILE:tolbex-publish>;TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/support")
    # `check URL` against nginx with the shipped configuration and the hostile server;
    # the test PKI is made in this build folder.
    add_test(NAME server_check_test
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/server_check_test.py -v)
    set_tests_properties(server_check_test PROPERTIES TIMEOUT 600 ENVIRONMENT
        "TOLBEX_PUBLISH=$<TARGET_FILE:tolbex-publish>;TOLBEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};TOLBEX_BUILD_DIR=${CMAKE_BINARY_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/support")
endif()
