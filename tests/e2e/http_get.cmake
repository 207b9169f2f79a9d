# The transport probes (small Windows programs the Python drivers start under Wine) and
# the HttpGet / FetchSignatureText tests against nginx and the hostile server.
if(WIN32)
    foreach(probe http_probe signature_probe)
        add_executable(${probe} ${CMAKE_CURRENT_LIST_DIR}/${probe}.cpp)
        target_link_libraries(${probe} PRIVATE tolbex_update tolbex_crypto tolbex_net)
        target_link_options(${probe} PRIVATE -static -municode)
        set_target_properties(${probe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    endforeach()
endif()
# The endless-body case pushes 256 MiB through Wine's WinHTTP: quick alone, but several
# times slower beside the other Wine tests on two cores.
tolbex_e2e(http_get_test http_get_test.py TIMEOUT 600)
# The progress floor through the real exe on the demo deployment's ports: ~2 minutes.
tolbex_e2e(slow_server_test slow_server_test.py RESOURCE_LOCK demo_ports TIMEOUT 420)
# Silent servers, causes in the log and idle-closed connections through the real exe, each
# case in a network namespace and Wine of its own, four at once: about three minutes.
tolbex_e2e(silent_server_test silent_server_test.py TIMEOUT 900)
