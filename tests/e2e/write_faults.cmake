# The write phase under faults: an I/O fault sweep and a kill sweep through
# write_fault_probe.exe (a fixture: the test mode's installation with its write calls
# watched in its import table), and a real full disk (a small tmpfs) through TolbexSetup.exe. All serve
# on the demo deployment's fixed ports. And a crash sweep of the whole write phase.
if(WIN32)
    tolbex_e2e(write_faults_test write_faults_test.py TIMEOUT 1800 RESOURCE_LOCK demo_ports)
    tolbex_e2e(full_disk_test full_disk_test.py TIMEOUT 600 RESOURCE_LOCK demo_ports)
    # A killed wineserver (strace) before each rename and delete of the write phase, in a
    # private copy of the prefix, each crash followed by three runs that repair it.
    tolbex_e2e(crash_sweep_test crash_sweep_test.py TIMEOUT 2700 RESOURCE_LOCK demo_ports)
endif()
