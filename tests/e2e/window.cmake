# The installer window under its own Xvfb screen, driven with xdotool. The tests share the
# prefix's default folder, shortcuts and the one TolbexInstaller window, so they run one
# at a time; the install test serves the demo deployment's ports. The locks are set here
# rather than through tolbex_e2e, whose argument list would split a list of locks.
if(WIN32)
    tolbex_e2e(window_folder_test window_folder_test.py TIMEOUT 900)
    tolbex_e2e(window_install_test window_install_test.py TIMEOUT 1500)
    set_tests_properties(window_folder_test PROPERTIES
        RESOURCE_LOCK "default_install;tolbex_window;demo_ports")
    set_tests_properties(window_install_test PROPERTIES
        RESOURCE_LOCK "default_install;tolbex_window;demo_ports")
endif()
if(WIN32)
    tolbex_e2e(window_progress_test window_progress_test.py TIMEOUT 1200)
    set_tests_properties(window_progress_test PROPERTIES
        RESOURCE_LOCK "default_install;tolbex_window;demo_ports")
endif()
