# The folder-choice and path-line texts are platform-free; the rest is Windows-bound.
add_library(tolbex_location STATIC ${CMAKE_CURRENT_LIST_DIR}/folder_choice.cpp)
target_link_libraries(tolbex_location PUBLIC tolbex_common)

if(WIN32)
    target_sources(tolbex_location PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/folder_picker.cpp
        ${CMAKE_CURRENT_LIST_DIR}/install_dir.cpp
        ${CMAKE_CURRENT_LIST_DIR}/canonical_path.cpp
        ${CMAKE_CURRENT_LIST_DIR}/validation.cpp)
    target_link_libraries(tolbex_location PUBLIC ${TOLBEX_WIN_LIBS})
endif()
