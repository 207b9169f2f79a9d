"""One installer per folder at a time, and a name listed twice refused, through the real
TolbexSetup.exe under Wine.

- Two test-mode runs into one folder, started 0 to 1 s apart, with a release large enough
  that each run's write phase lasts well past the other's start: one of them waits for
  the other (one waiting line), then does its own run; both end with exit 0, the folder
  holds exactly the new release and nothing of the write phase.
- A run whose folder another installer holds for longer than the wait gives up: its own
  line, a failed installation (exit 1), the folder untouched. The holder is
  lock_holder.exe, which takes the folder's lock as a running installation does.
- A second start of the window road while the first window is open leaves one window,
  and ends with 0.
- A manifest that lists one name twice, exactly or in another case, and once followed by
  a file held open: refused before any download with its own line, exit 1, the folder
  byte for byte as before; `tolbex-publish check` refuses the same release folder.
The release comes from the second deployment server (http 39706); the first is down.
"""
import shutil
import subprocess
import tempfile
import threading
import time
import unittest
from pathlib import Path

from bounds import bound
from engine_releases import make_releases
from harness import WINE_RUN, Build, tree_digest, win_path
from releases import DEMO_BLOB_1, DEMO_BLOB_2, UPDATE_NAMES, make_release, publish_tool
from servers import Nginx
from test_mode import run_test_mode

BUILD = Build()
BIG = 64 << 20  # per large file: fetching, hashing and writing them takes seconds


def new_bytes(name):
    if name == "tolbex_launcher.exe":
        return BUILD.fake_launcher.read_bytes()
    seed = f"{name} of release 3.0.0;".encode()
    size = BIG if name.endswith(".dll") else 200
    return (seed * (size // len(seed) + 1))[:size]


def old_bytes(name):
    return f"{name} of release 2.9.0\r\n".encode() * 4


class OneInstallerPerFolder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-one-installer-"))
        update = make_release(cls.work / "site", {name: new_bytes(name) for name in UPDATE_NAMES}, BUILD)
        cls.new = {name: tree_digest(update)[name] for name in UPDATE_NAMES}
        cls.releases = make_releases(cls.work / "releases", BUILD,
                                     only={"twice_exact", "twice_case", "twice_then_held"})

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def seed(self, folder):
        install = folder / "Tolbex"
        shutil.rmtree(folder, ignore_errors=True)
        install.mkdir(parents=True)
        for name in UPDATE_NAMES:
            (install / name).write_bytes(old_bytes(name))
        return install

    def run_test_mode(self, folder, results, key):
        # The other run's write phase, or the whole wait for it, comes on top of its own.
        results[key] = run_test_mode(folder, BUILD, seconds=280)

    def test_two_runs_at_once_both_install_one_after_the_other(self):
        for offset in (0, 0.25, 0.5, 1.0):
            what = f"second run {offset} s after the first"
            folder = self.work / f"together-{offset}"
            install = self.seed(folder)
            results = {}
            with Nginx(self.work / "site", http_port=39706, lifetime=bound(600), build=BUILD):
                first = threading.Thread(target=self.run_test_mode, args=(folder, results, 1))
                second = threading.Thread(target=self.run_test_mode, args=(folder, results, 2))
                first.start()
                time.sleep(offset)
                second.start()
                first.join()
                second.join()
            codes = [results[k][0] for k in (1, 2)]
            lines = [results[k][1] for k in (1, 2)]
            self.assertEqual(codes, [0, 0], f"{what}: {lines}")
            self.assertEqual(tree_digest(install), self.new, what)
            waiting = f"Een andere installatie is bezig in {win_path(install)}: even wachten"
            self.assertEqual(sorted(run.count(waiting) for run in lines), [0, 1],
                             f"{what}: one run waited for the other: {lines}")
            shutil.rmtree(folder)

    def test_a_run_that_gives_up_waiting_fails_and_leaves_the_folder(self):
        folder = self.work / "held"
        install = self.seed(folder)
        before = tree_digest(install)
        holder = subprocess.Popen(
            ["timeout", str(bound(280)), str(WINE_RUN),
             str(BUILD.path("tests/lock_holder.exe")), win_path(install)],
            env=BUILD.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        try:
            self.assertEqual(holder.stdout.readline().strip(), b"held")
            with Nginx(self.work / "site", http_port=39706, lifetime=bound(600), build=BUILD):
                started = time.time()
                code, lines = run_test_mode(folder, BUILD, seconds=280)
                waited = time.time() - started
        finally:
            holder.stdin.close()
            holder.wait(bound(60))
        self.assertEqual(code, 1, lines)
        self.assertEqual(lines[:2], [
            f"Een andere installatie is bezig in {win_path(install)}: even wachten",
            f"Wachten op de andere installatie in {win_path(install)} opgegeven"])
        self.assertGreaterEqual(waited, 110, "gave up before the wait was over")
        self.assertTrue((folder / "installer.txt").read_bytes().endswith(b"gelukt=0\r\n"))
        self.assertEqual(tree_digest(install), before)

    def test_a_name_listed_twice_is_refused_before_any_download(self):
        tool = publish_tool(BUILD)
        cases = {"twice_exact": "tolbex.ini", "twice_case": "TOLBEX.INI",
                 "twice_then_held": "TOLBEX.INI"}
        for release, name in cases.items():
            folder = self.work / release
            install = self.seed(folder)
            holder = None
            if release == "twice_then_held":
                holder = subprocess.Popen(
                    [str(WINE_RUN),
                     str(BUILD.path("tests/file_holder.exe")),
                     win_path(install / "tolbex_core.dll"), "read-delete"],
                    env=BUILD.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
                self.assertEqual(holder.stdout.readline().strip(), b"held")
            before = tree_digest(install)
            try:
                with Nginx(self.releases / release, http_port=39706, lifetime=bound(300),
                           build=BUILD) as nginx:
                    code, lines = run_test_mode(folder, BUILD, seconds=80)
                    served = nginx.access_log()
            finally:
                if holder:
                    holder.stdin.close()
                    holder.wait(bound(60))
            self.assertEqual(code, 1, release)
            self.assertIn(f"Update GEWEIGERD: {name} staat twee keer in het manifest", lines)
            self.assertEqual(tree_digest(install), before, release)
            asked = [line.split('"')[1] for line in served.splitlines() if '"' in line]
            self.assertEqual(sorted({path.split(" ")[1] for path in asked}),
                             ["/update/manifest.json", "/update/manifest.sig"], release)
            checked = subprocess.run([str(tool), "check", str(self.releases / release), "--key",
                                      DEMO_BLOB_1, "--key", DEMO_BLOB_2], capture_output=True,
                                     text=True, timeout=bound(60))
            self.assertEqual(checked.returncode, 1, checked.stdout)
            self.assertIn(f"REFUSED  files: '{name}' is listed twice", checked.stdout)


if __name__ == "__main__":
    unittest.main()
