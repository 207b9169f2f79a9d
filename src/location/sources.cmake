if(WIN32)
    target_sources(tolbex_win PRIVATE ${CMAKE_CURRENT_LIST_DIR}/install_dir.cpp)
endif()
