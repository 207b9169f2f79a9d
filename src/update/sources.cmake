# The update engine. The manifest scanners are platform-free; the update run, the file
# replacement and the server loop are Windows-bound.
add_library(tolbex_update STATIC ${CMAKE_CURRENT_LIST_DIR}/manifest_scan.cpp)
target_link_libraries(tolbex_update PUBLIC tolbex_common)
if(WIN32)
    target_sources(tolbex_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/file_replace.cpp)
    target_link_libraries(tolbex_update PUBLIC tolbex_log ${TOLBEX_WIN_LIBS})
endif()
