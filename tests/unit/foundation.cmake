# Platform-free tests of the foundation: built natively (sanitizers) and for Windows.
tolbex_test(path_rules_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_rules_test.cpp LIBS tolbex_common)
tolbex_test(log_format_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_format_test.cpp LIBS tolbex_log)
tolbex_test(noise_match_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/noise_match_test.cpp LIBS tolbex_log)
tolbex_test(command_line_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp LIBS tolbex_app)
