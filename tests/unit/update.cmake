# The update engine. The scanners and the progress share are platform-free and build in
# both presets. (RunUpdate and the server loop run against real servers:
# tests/e2e/engine_tests.cmake.)
tolbex_test(update_manifest_scan_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_manifest_scan_test.cpp LIBS tolbex_update)
tolbex_test(update_update_progress_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_update_progress_test.cpp LIBS tolbex_update)

# File replacement under Wine, against files held open by a second handle.
tolbex_test(update_file_replace_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_file_replace_test.cpp LIBS tolbex_update)
