# Log formatting and the noise filter's matching are pure and build in both presets;
# LogLine and the data folder run under Wine.
tolbex_test(log_log_format_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_log_format_test.cpp
    LIBS tolbex_log)
tolbex_test(log_noise_match_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_noise_match_test.cpp
    LIBS tolbex_log)
tolbex_test(log_log_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_log_test.cpp LIBS tolbex_log)
