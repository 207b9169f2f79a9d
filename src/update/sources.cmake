# The update engine. The manifest scanners and the progress share are platform-free;
# the update run, the file replacement and the server loop are Windows-bound.
add_library(tolbex_update STATIC ${CMAKE_CURRENT_LIST_DIR}/manifest_scan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_progress.cpp)
target_link_libraries(tolbex_update PUBLIC tolbex_common)
if(WIN32)
    target_sources(tolbex_update PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/file_replace.cpp
        ${CMAKE_CURRENT_LIST_DIR}/folder_lock.cpp
        ${CMAKE_CURRENT_LIST_DIR}/update_run.cpp
        ${CMAKE_CURRENT_LIST_DIR}/signature_fetch.cpp
        ${CMAKE_CURRENT_LIST_DIR}/install_servers.cpp)
    target_link_libraries(tolbex_update PUBLIC tolbex_net tolbex_crypto tolbex_log tolbex_location
        ${TOLBEX_WIN_LIBS})
endif()
