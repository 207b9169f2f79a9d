# The path rules: pure, built natively (sanitizers) and for Windows.
tolbex_test(common_path_rules_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_path_rules_test.cpp
    LIBS tolbex_common)

# The update's names: the allowed list, a name listed twice, the write phase's own names.
tolbex_test(common_update_files_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_update_files_test.cpp
    LIBS tolbex_common)
