# The HTTP client sits directly on WinHTTP; its rules (agent, time-outs, progress floor)
# are the platform-free header http_rules.h, shared with tolbex-publish check.
if(WIN32)
    add_library(tolbex_net STATIC ${CMAKE_CURRENT_LIST_DIR}/http_get.cpp)
    target_link_libraries(tolbex_net PUBLIC tolbex_common ${TOLBEX_WIN_LIBS})
endif()
