# The update engine. The scanners are platform-free and build in both presets.
tolbex_test(manifest_scan_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/manifest_scan_test.cpp
    LIBS tolbex_update)

# File replacement under Wine, against files held open by a second handle.
tolbex_test(update_file_replace_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_file_replace_test.cpp LIBS tolbex_update)

# The update run and the server loop against real servers on loopback. Not a test by
# itself: tests/e2e/engine_run_test.py makes the releases, starts the servers and runs it.
if(WIN32)
    add_executable(update_run_test ${CMAKE_CURRENT_LIST_DIR}/update_run_test.cpp)
    target_link_libraries(update_run_test PRIVATE tolbex_update GTest::gtest_main)
    target_link_options(update_run_test PRIVATE -static)
endif()
