# The update engine against real servers on loopback: RunUpdate on free ports, and
# InstallFromServers on the deployment's fixed ports (shared with other demo-port tests).
# engine_run_cases.exe holds the cases; it is not a test by itself: the two drivers make
# the releases, start the servers and run it.
if(WIN32)
    add_executable(engine_run_cases ${CMAKE_CURRENT_LIST_DIR}/engine_run_cases.cpp)
    target_link_libraries(engine_run_cases PRIVATE tolbex_update GTest::gtest_main)
    target_link_options(engine_run_cases PRIVATE -static)
    tolbex_e2e(engine_run_test engine_run_test.py TIMEOUT 900)
    tolbex_e2e(engine_servers_test engine_servers_test.py RESOURCE_LOCK demo_ports TIMEOUT 600)
endif()
