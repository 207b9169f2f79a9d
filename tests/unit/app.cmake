# The installer shell. The command line and the report's text are pure and build in both
# presets; the exe's resources are read back from the built TolbexSetup.exe under Wine.
tolbex_test(app_command_line_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_command_line_test.cpp
    LIBS tolbex_app)
tolbex_test(app_report_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_report_text_test.cpp
    LIBS tolbex_app)
tolbex_test(app_resources_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_resources_test.cpp)
if(WIN32)
    add_dependencies(app_resources_test TolbexSetup)
endif()
