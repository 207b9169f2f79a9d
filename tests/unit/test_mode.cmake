# The test report's text: pure, built natively (sanitizers) and for Windows.
tolbex_test(test_mode_report_text_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mode_report_text_test.cpp LIBS tolbex_app)
