# The folder choice and the path line's text are pure and build in both presets.
tolbex_test(location_folder_choice_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/location_folder_choice_test.cpp LIBS tolbex_location)

# Folder validation, the marker file, the canonical form and the lookups, under Wine. They
# use the prefix's real registry and default install folder, which the launch-road tests
# share.
tolbex_test(location_validation_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/location_validation_test.cpp
    LIBS tolbex_location PROPS RESOURCE_LOCK default_install)
tolbex_test(location_install_dir_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/location_install_dir_test.cpp
    LIBS tolbex_location PROPS RESOURCE_LOCK default_install)
