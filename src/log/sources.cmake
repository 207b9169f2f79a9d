add_library(tolbex_log STATIC
    ${CMAKE_CURRENT_LIST_DIR}/log_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/noise_match.cpp)
target_link_libraries(tolbex_log PUBLIC tolbex_common)
if(WIN32)
    target_sources(tolbex_log PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/log.cpp
        ${CMAKE_CURRENT_LIST_DIR}/noise_filter.cpp)
    target_link_libraries(tolbex_log PUBLIC ${TOLBEX_WIN_LIBS})
endif()
