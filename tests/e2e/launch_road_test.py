"""Road 2: with an existing installation the installer starts its launcher at once,
in the launcher's own folder, with no arguments and no window, and exits with 0."""
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from bounds import bound, deadline
from harness import UNINSTALL_KEY, Build, reg_delete_key, reg_set, win_path, wine_run


def wait_for(path, seconds=30):
    """The launcher's record, once it has written one; None when none comes in time (its
    start is a second Wine start)."""
    end = deadline(seconds)
    while time.monotonic() < end:
        if path.exists() and path.read_text(encoding="utf-8").count("args=") >= 1:
            return path.read_text(encoding="utf-8")
        time.sleep(0.2)
    return None


def window_titled_tolbex_exists():
    try:
        out = subprocess.run(["xdotool", "search", "--name", "^Tolbex$"], capture_output=True,
                             timeout=bound(10))
    except (FileNotFoundError, subprocess.TimeoutExpired):
        return False
    return out.returncode == 0 and out.stdout.strip() != b""


class LaunchRoad(unittest.TestCase):
    def setUp(self):
        self.build = Build()
        self.work = Path(tempfile.mkdtemp(prefix="tolbex-road2-"))
        self.install = self.work / "Mijn Spellen" / "Tolbex"
        self.install.mkdir(parents=True)
        shutil.copy(self.build.fake_launcher, self.install / "tolbex_launcher.exe")
        self.record = self.work / "record.txt"

    def tearDown(self):
        reg_delete_key(UNINSTALL_KEY, build=self.build)
        shutil.rmtree(self.work, ignore_errors=True)

    def run_setup(self, *args):
        # The window road never ends by itself, so a run that fell through to it would
        # hit the time-out instead of exiting.
        return wine_run([self.build.setup] + list(args), build=self.build, timeout=bound(60),
                        env={"TOLBEX_FAKE_LAUNCHER_RECORD": win_path(self.record)})

    def test_starts_the_launcher_in_its_folder_without_arguments_or_window(self):
        reg_set(UNINSTALL_KEY, "InstallLocation", win_path(self.install), build=self.build)
        result = self.run_setup()
        self.assertEqual(result.returncode, 0)
        record = wait_for(self.record)
        self.assertIsNotNone(record, "the launcher never started")
        lines = record.splitlines()
        self.assertEqual(lines[0].lower(), "cwd=" + win_path(self.install).lower())
        self.assertEqual(lines[2], "args=0")
        self.assertFalse(window_titled_tolbex_exists())

    def test_ignores_proef_without_a_folder_and_still_launches(self):
        reg_set(UNINSTALL_KEY, "InstallLocation", win_path(self.install), build=self.build)
        result = self.run_setup("--proef")
        self.assertEqual(result.returncode, 0)
        self.assertIsNotNone(wait_for(self.record))

    def test_a_launcher_that_is_no_program_changes_nothing(self):
        (self.install / "tolbex_launcher.exe").write_bytes(b"not a program at all")
        reg_set(UNINSTALL_KEY, "InstallLocation", win_path(self.install), build=self.build)
        self.assertEqual(self.run_setup().returncode, 0)


if __name__ == "__main__":
    unittest.main()
