# The update engine against real servers on loopback: RunUpdate on free ports, and
# InstallFromServers on the deployment's fixed ports (shared with other demo-port tests).
if(WIN32)
    tolbex_e2e(engine_run_test engine_run_test.py TIMEOUT 600)
    tolbex_e2e(engine_servers_test engine_servers_test.py RESOURCE_LOCK demo_ports TIMEOUT 300)
endif()
