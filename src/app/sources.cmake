add_library(tolbex_app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report_text.cpp)
target_link_libraries(tolbex_app PUBLIC tolbex_common)

if(WIN32)
    target_link_libraries(tolbex_app PUBLIC tolbex_location tolbex_log ${TOLBEX_WIN_LIBS})
    target_sources(tolbex_app PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/launcher.cpp
        ${CMAKE_CURRENT_LIST_DIR}/test_mode.cpp
        ${CMAKE_CURRENT_LIST_DIR}/installer_window.cpp
        ${CMAKE_CURRENT_LIST_DIR}/install_worker.cpp
        ${CMAKE_CURRENT_LIST_DIR}/shortcut.cpp)
    target_link_libraries(tolbex_app PUBLIC tolbex_update)

    # The icon is drawn from its script at build time, so the artwork has one source.
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(TOLBEX_ICON ${CMAKE_BINARY_DIR}/generated/tolbex.ico)
    add_custom_command(OUTPUT ${TOLBEX_ICON}
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/draw_icon.py ${TOLBEX_ICON}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/draw_icon.py
        COMMENT "Drawing the Tolbex icon")
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/tolbex.rc PROPERTIES
        OBJECT_DEPENDS "${TOLBEX_ICON};${CMAKE_CURRENT_LIST_DIR}/app.manifest")

    add_executable(TolbexSetup WIN32
        ${CMAKE_CURRENT_LIST_DIR}/main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/tolbex.rc
        ${TOLBEX_ICON})
    set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/tolbex.rc APPEND PROPERTY INCLUDE_DIRECTORIES
        ${CMAKE_BINARY_DIR}/generated ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(TolbexSetup PRIVATE tolbex_app)
    target_link_options(TolbexSetup PRIVATE -municode -s -Wl,--gc-sections)

endif()
