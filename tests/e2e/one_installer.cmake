# One installer per folder (two runs at once, a run that gives up waiting) and a name
# listed twice, through TolbexSetup.exe --proef on the demo deployment's fixed ports.
if(WIN32)
    tolbex_e2e(one_installer_test one_installer_test.py TIMEOUT 1500 RESOURCE_LOCK demo_ports)
endif()
