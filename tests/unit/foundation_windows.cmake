# Windows-bound tests of the foundation, under Wine.
tolbex_test(log_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_test.cpp LIBS tolbex_log)
# The lookups share the prefix's registry and default folder with the launch-road tests.
tolbex_test(install_dir_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_dir_test.cpp
    LIBS tolbex_location PROPS RESOURCE_LOCK default_install)
tolbex_test(exe_resources_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/exe_resources_test.cpp)
if(WIN32)
    add_dependencies(exe_resources_test TolbexSetup)
endif()
