# The update engine. The scanners are platform-free and build in both presets.
tolbex_test(manifest_scan_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manifest_scan_test.cpp
    LIBS tolbex_update)

# File replacement under Wine, against files held open by a second handle.
tolbex_test(update_file_replace_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_file_replace_test.cpp LIBS tolbex_update)
