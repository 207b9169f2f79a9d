# The installer window under its own Xvfb screen, driven with xdotool. The tests share the
# prefix's default folder, shortcuts and the one TolbexInstaller window, so they run one
# at a time; those that serve the demo deployment hold its ports.
if(WIN32)
    set(window_deps TolbexSetup window-inspector debug-capture fake_launcher)
    tolbex_e2e(window_folder_test window_folder_test.py
        RESOURCE_LOCK "default_install;tolbex_window" TIMEOUT 240)
    tolbex_e2e(window_install_test window_install_test.py
        RESOURCE_LOCK "default_install;tolbex_window;demo_ports" TIMEOUT 400)
endif()
