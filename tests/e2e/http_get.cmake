# HttpGet and the signature fetch against nginx and the hostile server, through
# http_probe.exe and signature_probe.exe (tests/fixtures).
# The endless-body case pushes 256 MiB through Wine's WinHTTP: quick alone, but several
# times slower beside the other Wine tests on two cores.
tolbex_e2e(http_get_test http_get_test.py TIMEOUT 900)
# The progress floor through the real exe on the demo deployment's ports: ~2 minutes.
tolbex_e2e(slow_server_test slow_server_test.py RESOURCE_LOCK demo_ports TIMEOUT 900)
# Silent servers, causes in the log and idle-closed connections through the real exe, each
# case in a network namespace and Wine of its own, four at once: about three minutes.
tolbex_e2e(silent_server_test silent_server_test.py TIMEOUT 1500)
