# HttpGet and FetchSignatureText under Wine against nginx and the hostile server.
if(WIN32)
    add_executable(http_probe ${CMAKE_CURRENT_LIST_DIR}/http_probe.cpp)
    target_link_libraries(http_probe PRIVATE tolbex_crypto tolbex_net)
    target_link_options(http_probe PRIVATE -static -municode)
    set_target_properties(http_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endif()
tolbex_e2e(http_get_test http_get_test.py TIMEOUT 300)
