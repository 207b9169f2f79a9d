"""RunUpdate under Wine against nginx and the hostile server on free loopback ports.

Makes the release folders (engine_releases.py), serves them, and runs the Windows test
program tests/engine_run_cases.exe with the servers' addresses in its environment; the
cases and their exact log lines are in tests/e2e/engine_run_cases.cpp. The self-update
case runs from a copy of that program named tolbex_launcher.exe in a folder of its own.
"""
import re
import shutil
import tempfile
import unittest
from pathlib import Path

from engine_releases import hostile_routes, make_releases
from bounds import bound
from harness import Build, win_path, wine_run
from servers import HostileServer, Nginx

BUILD = Build()
PROGRAM = BUILD.path("tests/engine_run_cases.exe")


def run_cases(program, gtest_filter, env, timeout=bound(480)):
    result = wine_run([program, f"--gtest_filter={gtest_filter}"], build=BUILD, env=env,
                      timeout=timeout)
    output = result.stdout.decode("utf-8", "replace")
    return result.returncode, output


def listed_cases(program, gtest_filter):
    """The cases the filter selects, as the program itself lists them."""
    result = wine_run([program, f"--gtest_filter={gtest_filter}", "--gtest_list_tests"],
                      build=BUILD, check=True)
    cases, suite = [], ""
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        if line and not line.startswith(" "):
            suite = line.split()[0]
        elif line.strip():
            cases.append(suite + line.split()[0])
    return cases


def passed_count(output):
    """N from gtest's closing line "[  PASSED  ] N test(s).", or None when it is missing."""
    match = re.search(r"^\[  PASSED  \] (\d+) tests?\.", output, re.MULTILINE)
    return int(match.group(1)) if match else None


class EngineRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.releases = make_releases(BUILD.path("engine-releases-run"), BUILD)
        cls.nginx = Nginx(cls.releases, http_port=0, lifetime=bound(900), build=BUILD).__enter__()
        cls.hostile = HostileServer(hostile_routes(cls.releases), lifetime=bound(900),
                                    build=BUILD).__enter__()
        cls.env = {"TOLBEX_ENGINE_RELEASES": win_path(cls.releases),
                   "TOLBEX_ENGINE_NGINX": cls.nginx.http_url,
                   "TOLBEX_ENGINE_HOSTILE": cls.hostile.url("")}

    @classmethod
    def tearDownClass(cls):
        cls.hostile.__exit__(None, None, None)
        cls.nginx.__exit__(None, None, None)

    def assert_every_case_passed(self, program, gtest_filter):
        """Runs the cases the filter selects; all of them, and at least one, must pass."""
        cases = listed_cases(program, gtest_filter)
        self.assertTrue(cases, f"no case matches {gtest_filter}")
        code, output = run_cases(program, gtest_filter, self.env)
        self.assertEqual(code, 0, output)
        self.assertEqual(passed_count(output), len(cases), f"{cases}\n{output}")

    def test_update_run_cases(self):
        self.assert_every_case_passed(PROGRAM, "RunUpdateTest.*:-RunUpdateTest.SelfUpdate*")
        # The folder-part names were refused only after the two files before them had
        # been downloaded: the refusal comes at the name, not before the list.
        log = self.nginx.access_log()
        for release in ("folder_sub", "folder_parent", "folder_drive"):
            for name in ("tolbex_core.dll", "tolbex.ini"):
                self.assertIn(f'"GET /{release}/update/{name} HTTP/1.1" 200', log)

    def test_self_update_from_a_copy_named_like_the_launcher(self):
        with tempfile.TemporaryDirectory(prefix="tolbex-downloads-") as downloads:
            copy = Path(downloads) / "tolbex_launcher.exe"
            shutil.copyfile(PROGRAM, copy)
            self.assert_every_case_passed(copy, "RunUpdateTest.SelfUpdate*")


if __name__ == "__main__":
    unittest.main()
