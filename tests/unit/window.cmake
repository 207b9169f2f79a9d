# The installer window's platform-free texts: the folder choice and the path line.
tolbex_test(window_folder_choice_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_folder_choice_test.cpp
    LIBS tolbex_location)
