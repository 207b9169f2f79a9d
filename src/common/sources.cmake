add_library(tolbex_common STATIC ${CMAKE_CURRENT_LIST_DIR}/path_rules.cpp)
