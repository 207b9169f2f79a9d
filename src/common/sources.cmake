target_sources(tolbex_pure PRIVATE ${CMAKE_CURRENT_LIST_DIR}/path_rules.cpp)
