# URL splitting on WinHTTP, under Wine (the fetches themselves: tests/e2e/http_get_test.py).
tolbex_test(net_http_get_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_http_get_test.cpp
    LIBS tolbex_net)
