# The path rules: pure, built natively (sanitizers) and for Windows.
tolbex_test(common_path_rules_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_path_rules_test.cpp
    LIBS tolbex_common)
