# The release tool: refusals, two reproducible builds, the Authenticode signature.
# The two release builds take a few minutes and both cores.
if(WIN32)
    tolbex_e2e(release_build_test release_build_test.py TIMEOUT 1500 PROCESSORS 2 LABELS release)
endif()
