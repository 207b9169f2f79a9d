# The write phase under faults: an I/O fault sweep and a kill sweep through
# write_fault_probe.exe (the test mode's installation with its write calls watched in its
# import table), and a real full disk (a small tmpfs) through TolbexSetup.exe. All serve
# on the demo deployment's fixed ports. And a crash sweep of the whole write phase.
if(WIN32)
    add_executable(write_fault_probe ${CMAKE_CURRENT_LIST_DIR}/write_fault_probe.cpp)
    target_link_libraries(write_fault_probe PRIVATE tolbex_app)
    target_link_options(write_fault_probe PRIVATE -static -municode)
    set_target_properties(write_fault_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    tolbex_e2e(write_faults_test write_faults_test.py TIMEOUT 900 RESOURCE_LOCK demo_ports)
    tolbex_e2e(full_disk_test full_disk_test.py TIMEOUT 300 RESOURCE_LOCK demo_ports)
    # A killed wineserver (strace) before each rename and delete of the write phase, in a
    # private copy of the prefix, each crash followed by three runs that repair it.
    tolbex_e2e(crash_sweep_test crash_sweep_test.py TIMEOUT 1800 RESOURCE_LOCK demo_ports)
endif()
