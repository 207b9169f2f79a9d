target_sources(tolbex_pure PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/log_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/noise_match.cpp)
if(WIN32)
    target_sources(tolbex_win PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/log.cpp
        ${CMAKE_CURRENT_LIST_DIR}/noise_filter.cpp)
endif()
