"""A crash anywhere in the write phase leaves Tolbex exactly old or exactly new, and the
next run on any road repairs it without a server.

An update of an older installation of the five files, with tolbex_core.dll held open the
way a loaded DLL is (so it is moved aside as tolbex_core.dll.oud, over an older aside).
The wineserver of a private prefix copy performs every rename and unlink of its clients;
it is killed (strace's syscall injection) just before each of them in turn: the stage,
the commit's renames and the deletion of the backups and the journal. That takes every
Windows process of the prefix with it, as a power cut or a forced log-off would. The
folder as the crash left it is then given, afresh each time, to three runs:
  - the test mode with both servers down: the five names hold exactly the old or exactly
    the new release, no file of the write phase's own remains, and the repair was logged
    in one line;
  - the launch road (the registry names the folder): the same, and the launcher starts;
  - the test mode with the second server up: exactly the new release, exit 0.
"""
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

from bounds import bound, deadline
from harness import UNINSTALL_KEY, Build, events_of, log_lines, sha, tree_digest, win_path
from own_wineserver import OwnWineServer
from releases import UPDATE_NAMES, WRITE_PHASE_FILE, make_release
from servers import Nginx

BUILD = Build()
HELD = "tolbex_core.dll"
OLDER_ASIDE = b"an aside file left by an update before the last one\r\n" * 2
SUFFIXES = ["", ".tijdelijk", ".vorig", ".oud", ".oud.vorig", ".oud.tijdelijk"]


def launcher_bytes(release):
    # A fake launcher that runs, with bytes of its release's own behind the image.
    return BUILD.fake_launcher.read_bytes() + f"launcher of release {release}".encode() * 4


def file_bytes(name, release):
    if name == "tolbex_launcher.exe":
        return launcher_bytes(release)
    return f"{name} of release {release}\r\n".encode() * 8


class CrashSweep(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        BUILD.path("crash-sweep-summary.txt").unlink(missing_ok=True)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-crash-sweep-"))
        make_release(cls.work / "site", {name: file_bytes(name, "3.0.0") for name in UPDATE_NAMES},
                     BUILD)
        cls.server = OwnWineServer(BUILD, cls.work)
        cls.folder = cls.work / "run"
        cls.install = cls.folder / "Tolbex"
        cls.record = cls.work / "launcher-record.txt"
        cls.old = {name: sha(file_bytes(name, "2.9.0")) for name in UPDATE_NAMES}
        cls.new = {name: sha(file_bytes(name, "3.0.0")) for name in UPDATE_NAMES}
        cls.watch = [cls.install / (name + suffix) for name in UPDATE_NAMES for suffix in SUFFIXES]
        cls.watch.append(cls.install / "tolbex_bijwerken.journaal")
        cls.server.start()
        cls.server.run(["reg", "add", UNINSTALL_KEY, "/v", "InstallLocation", "/t", "REG_SZ",
                        "/d", win_path(cls.install), "/f"])
        cls.server.stop()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def seed(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        self.install.mkdir(parents=True)
        for name in UPDATE_NAMES:
            (self.install / name).write_bytes(file_bytes(name, "2.9.0"))
        (self.install / (HELD + ".oud")).write_bytes(OLDER_ASIDE)

    def crashed_update(self, kill_at=None):
        """The update with HELD in use, under a server killed at kill_at; True when the
        server died there."""
        self.seed()
        self.server.start(kill_at=kill_at, watch=self.watch)
        try:
            holder = self.server.start_program(
                [BUILD.path("tests/file_holder.exe"), win_path(self.install / HELD),
                 "read-delete"])
            held_by = deadline(60)
            while "held" not in Path(holder.output_path).read_text() and time.monotonic() < held_by:
                time.sleep(0.1)
            with Nginx(self.work / "site", http_port=39706, lifetime=bound(300), build=BUILD):
                code, _ = self.server.run([BUILD.setup, "--proef", win_path(self.folder)])
            killed = self.server.killed()
            if not killed:
                self.assertEqual(code, 0, "the update without a crash")
                holder.stdin.close()
            self.server.finish(holder, timeout=bound(30))
            return killed
        finally:
            self.server.stop()

    def state(self, what):
        """"old" or "new" for the five names; fails on anything else or on a leftover."""
        files = tree_digest(self.install)
        self.assertEqual([name for name in files if WRITE_PHASE_FILE.search(name)], [], what)
        five = {name: files.get(name) for name in UPDATE_NAMES}
        self.assertIn(five, (self.old, self.new), what)
        aside = files.get(HELD + ".oud")
        self.assertIn(aside, (sha(OLDER_ASIDE), self.old[HELD]), what)
        return "old" if five == self.old else "new"

    def restore(self, crashed):
        shutil.rmtree(self.install)
        shutil.copytree(crashed, self.install)

    def check_three_runs(self, what):
        crashed = self.work / "crashed"
        shutil.rmtree(crashed, ignore_errors=True)
        shutil.copytree(self.install, crashed)
        repaired = {f"Onderbroken update afgemaakt in {win_path(self.install)}",
                    f"Resten van een onderbroken update opgeruimd in {win_path(self.install)}"}
        self.server.start()
        try:
            code, out = self.server.run([BUILD.debug_capture, BUILD.setup, "--proef",
                                         win_path(self.folder)])
            lines = log_lines(events_of(out))
            self.assertEqual(code, 1, what + ": no server, so no installation")
            self.assertEqual(len([line for line in lines if line in repaired]), 1,
                             f"{what}: {lines}")
            outcome = self.state(what + ", test mode with both servers down")

            self.restore(crashed)
            self.record.unlink(missing_ok=True)
            code, _ = self.server.run([BUILD.setup],
                                      env={"TOLBEX_FAKE_LAUNCHER_RECORD": win_path(self.record)})
            self.assertEqual(code, 0, what + ", launch road")
            started_by = deadline(30)
            while not self.record.exists() and time.monotonic() < started_by:
                time.sleep(0.2)
            self.assertTrue(self.record.exists(), what + ": the launch road started no launcher")
            self.assertEqual(self.state(what + ", launch road"), outcome)

            self.restore(crashed)
            with Nginx(self.work / "site", http_port=39706, lifetime=bound(300), build=BUILD):
                code, _ = self.server.run([BUILD.setup, "--proef", win_path(self.folder)])
            self.assertEqual((code, self.state(what + ", test mode with a server up")),
                             (0, "new"), what)
            return outcome
        finally:
            self.server.stop()

    def test_a_crash_before_any_rename_or_delete_is_repaired_on_every_road(self):
        self.assertFalse(self.crashed_update(), "the update without a crash")
        self.assertEqual(self.state("the update without a crash"), "new")
        calls = self.server.calls()
        counts = {}
        for syscall, _ in calls:
            counts[syscall] = counts.get(syscall, 0) + 1
        self.assertGreaterEqual(counts.get("rename", 0), 2 * len(UPDATE_NAMES) + 1, calls)
        outcomes = {"old": 0, "new": 0}
        covered = []
        for syscall, count in sorted(counts.items()):
            for n in range(1, count + 1):
                what = f"killed before {syscall} {n} of {count}"
                self.assertTrue(self.crashed_update((syscall, n)), what)
                killed_at = self.server.calls()[-1]
                self.assertEqual(killed_at[0], syscall, what)
                covered.append(killed_at)
                outcomes[self.check_three_runs(f"{what} ({Path(killed_at[1]).name})")] += 1
        self.assertEqual(sorted(covered), sorted(calls))
        line = (f"crash sweep: {len(covered)} crash points ({dict(counts)}) of the write "
                f"phase, each repaired on three roads; repaired to the old release "
                f"{outcomes['old']} times, to the new one {outcomes['new']} times")
        # Printed, and kept in the build folder for the test command to show after ctest.
        print("\n" + line, file=sys.stderr)
        BUILD.path("crash-sweep-summary.txt").write_text(line + "\n")


if __name__ == "__main__":
    unittest.main()
