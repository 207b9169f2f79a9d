# Folder validation, the marker file and the canonical form, under Wine. They use the
# prefix's real default install folder, which the launch-road and lookup tests share.
tolbex_test(location_validation_test WINDOWS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/location_validation_test.cpp
    LIBS tolbex_location PROPS RESOURCE_LOCK default_install)
