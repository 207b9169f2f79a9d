"""InstallFromServers under Wine against the deployment's own two server addresses.

Nothing listens on the first (https://localhost:39705); nginx serves the second
(http://localhost:39706) with a different release per case, or an empty folder, by
pointing its update/ link at the release of the case. The cases and their exact log lines
are the InstallServers tests of tests/e2e/engine_run_cases.cpp.
"""
import os
import tempfile
import unittest
from pathlib import Path

from engine_releases import make_releases
from bounds import bound
from harness import Build, win_path, wine_run
from servers import Nginx

BUILD = Build()
PROGRAM = BUILD.path("tests/engine_run_cases.exe")

# Test case -> the release the second server serves (None: nothing, so 404 everywhere).
CASES = {
    "BothFailingLogsBothInOrder": None,
    "SecondServerDeliversAfterFirstUnreachable": "full300",
    "ReleaseWithoutLauncherCountsAsFailed": "no_launcher",
    "LauncherWrittenThenLaterFileFailsIsAFailedServer": "launcher_ini",
}


class EngineServersTest(unittest.TestCase):
    def test_install_from_servers(self):
        releases = make_releases(BUILD.path("engine-releases-servers"), BUILD)
        with tempfile.TemporaryDirectory(prefix="tolbex-second-server-") as root, \
                Nginx(root, http_port=39706, lifetime=bound(900), build=BUILD):
            link = Path(root) / "update"
            for case, release in CASES.items():
                with self.subTest(case):
                    if link.is_symlink():
                        link.unlink()
                    if release:
                        os.symlink(releases / release / "update", link)
                    env = {"TOLBEX_ENGINE_RELEASES": win_path(releases),
                           "TOLBEX_ENGINE_SERVED": release or ""}
                    result = wine_run([PROGRAM, f"--gtest_filter=InstallServers.{case}"],
                                      build=BUILD, env=env)
                    output = result.stdout.decode("utf-8", "replace")
                    self.assertEqual(result.returncode, 0, output)
                    self.assertIn("[  PASSED  ] 1 test", output)


if __name__ == "__main__":
    unittest.main()
