if(WIN32)
    add_library(tolbex_location STATIC
        ${CMAKE_CURRENT_LIST_DIR}/install_dir.cpp
        ${CMAKE_CURRENT_LIST_DIR}/canonical_path.cpp
        ${CMAKE_CURRENT_LIST_DIR}/validation.cpp)
    target_link_libraries(tolbex_location PUBLIC tolbex_common ${TOLBEX_WIN_LIBS})
endif()
