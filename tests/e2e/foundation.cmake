# End-to-end tests of the foundation: the built exe and the log channel under Wine.
if(WIN32)
    tolbex_e2e(exe_imports_test exe_imports_test.py)
    tolbex_e2e(log_channel_test log_channel_test.py RESOURCE_LOCK app_data TIMEOUT 600)
    tolbex_e2e(launch_road_test launch_road_test.py RESOURCE_LOCK default_install TIMEOUT 900)
endif()
