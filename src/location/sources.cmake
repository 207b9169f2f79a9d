if(WIN32)
    add_library(tolbex_location STATIC ${CMAKE_CURRENT_LIST_DIR}/install_dir.cpp)
    target_link_libraries(tolbex_location PUBLIC tolbex_common ${TOLBEX_WIN_LIBS})
endif()
