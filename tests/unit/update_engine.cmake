# The update engine. The scanners are platform-free and build in both presets.
tolbex_test(manifest_scan_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manifest_scan_test.cpp
    LIBS tolbex_update)
