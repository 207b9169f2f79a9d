# The release tool: refusals, two reproducible builds, the Authenticode signature, and the
# signed exe installing from the demo servers (their fixed ports: demo_ports). The two
# release builds take a few minutes and both cores.
if(WIN32)
    tolbex_e2e(release_build_test release_build_test.py
               TIMEOUT 2100 PROCESSORS 2 RESOURCE_LOCK demo_ports LABELS release)
endif()
