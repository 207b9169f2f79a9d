"""The installer window's folder line and folder dialog, driven with the keyboard under
Xvfb: the dialog opens in the parent of InstallDir, a pick gets Tolbex joined unless it
already is a tolbex folder, Cancel leaves the line byte for byte, and a refused folder
gives the warning box while both buttons stay; a chosen folder whose installation
failed is accepted again when the player tries once more; and a second start while the
window is open leaves that one window."""
import shutil
import tempfile
import time
import unittest
from pathlib import Path

from bounds import bound, deadline
from harness import Build, tree_digest, win_path, wine_run
from releases import make_release
from servers import Nginx
from window_support import (DIALOG_TITLE, FAILED, Screen, WindowRun, box_text,
                            default_install_dir, inspect, prepare_prefix, shortcut_paths)

NOT_EMPTY = ("Deze map is niet leeg. Kies een lege map of een andere schijf.\\n\\n"
             "This folder is not empty. Choose an empty folder or another drive.")
SUFFIX = r"   \((\d+) GB vrij / free\)$"


def path_line(view):
    return view["children"][1]["text"]


class FolderDialog(unittest.TestCase):
    def setUp(self):
        self.build = Build()
        self.screen = Screen().__enter__()
        prepare_prefix(self.build, self.screen)
        self.programs = self.build.user_folder("AppData", "Local", "Programs")
        self.foreign = self.programs / "Games" / "tolbex"
        self.foreign.mkdir(parents=True, exist_ok=True)
        (self.foreign / "savegame.txt").write_text("not Tolbex")
        self.run_ = WindowRun(self.screen, self.build)

    def tearDown(self):
        self.run_.kill()
        self.screen.__exit__(None, None, None)
        shutil.rmtree(self.programs / "Games", ignore_errors=True)

    def test_a_second_start_brings_the_open_window_forward_and_ends(self):
        self.assertIsNotNone(self.run_.wait_window())
        windows = self.screen.xdotool("search", "--name", "^Tolbex$").stdout.split()
        # A second start that opened a window of its own would not end by itself.
        second = wine_run([self.build.setup], build=self.build, env=self.screen.env,
                          timeout=bound(60))
        self.assertEqual(second.returncode, 0)
        self.assertEqual(self.screen.xdotool("search", "--name", "^Tolbex$").stdout.split(),
                         windows)
        self.assertIsNotNone(inspect("window", self.screen, self.build))

        # Once the open window's installation has put the launcher in place, a start takes
        # the launch road; with the window still open it hands over too, and no second
        # launcher starts.
        default = self.programs / "Tolbex"
        default.mkdir(parents=True, exist_ok=True)
        self.addCleanup(shutil.rmtree, default, ignore_errors=True)
        shutil.copy(self.build.fake_launcher, default / "tolbex_launcher.exe")
        record = Path(tempfile.mkdtemp(prefix="tolbex-second-start-")) / "launched.txt"
        self.addCleanup(shutil.rmtree, record.parent, ignore_errors=True)
        env = dict(self.screen.env, TOLBEX_FAKE_LAUNCHER_RECORD=win_path(record))
        third = wine_run([self.build.setup], build=self.build, env=env, timeout=bound(60))
        self.assertEqual(third.returncode, 0)
        time.sleep(2)  # a launcher started by the shell would have written its record by now
        self.assertFalse(record.exists(), "a second launcher was started beside the window")
        self.assertEqual(self.screen.xdotool("search", "--name", "^Tolbex$").stdout.split(),
                         windows)

    def pick(self, typed):
        """Opens the dialog with the Change button and confirms the typed folder name,
        relative to the folder the dialog opened in (or Escape for None)."""
        self.assertTrue(self.run_.focus_button(10))
        self.run_.keys("space")
        self.assertIsNotNone(inspect("dialog " + DIALOG_TITLE, self.screen, self.build, wait=20))
        if typed is None:
            self.run_.keys("Escape", title="^Waar moet")
        else:
            self.run_.type_text(typed)
            self.run_.keys("Return", title="^Waar moet")
        self.assertTrue(wait_gone(self.screen, self.build))
        return inspect("window", self.screen, self.build)

    def test_picks_join_tolbex_keep_a_tolbex_folder_and_a_refusal_keeps_both_buttons(self):
        first = self.run_.wait_window()
        self.assertRegex(path_line(first), r"^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Tolbex"
                         + SUFFIX)

        # Cancel: the line stays byte for byte.
        self.assertEqual(path_line(self.pick(None)), path_line(first))

        # "Games" is resolved in the folder the dialog opened in: the parent of InstallDir.
        games = path_line(self.pick("Games"))
        self.assertRegex(games, r"\\AppData\\Local\\Programs\\Games\\Tolbex" + SUFFIX)

        # The next dialog opens in ...\Games; a folder named tolbex is kept as it is.
        kept = path_line(self.pick("tolbex"))
        self.assertRegex(kept, r"\\AppData\\Local\\Programs\\Games\\tolbex" + SUFFIX)

        # Install on that non-empty foreign folder: the warning box, the folder untouched,
        # both buttons still there; Install validates again and refuses again.
        before = tree_digest(self.foreign)
        for _ in range(2):
            self.assertTrue(self.run_.focus_button(1))
            self.run_.keys("Return")
            box = inspect("box", self.screen, self.build, wait=20)
            self.assertIsNotNone(box, "no warning box")
            self.assertEqual(box_text(box), [NOT_EMPTY])
            self.run_.keys("Return", title=None)
            self.assertTrue(wait_no_box(self.screen, self.build))
            view = inspect("window", self.screen, self.build)
            self.assertEqual([c["visible"] for c in view["children"]], ["1", "1", "1", "1"])
        self.assertEqual(tree_digest(self.foreign), before)

        self.run_.keys("Escape")
        self.assertEqual(self.run_.wait_exit(60), 0)
        self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
        self.assertFalse(default_install_dir(self.build).exists())

    def install_in_spellen(self):
        """Picks ...\\Programs\\Spellen\\Tolbex and presses Install."""
        self.run_.wait_window()
        self.pick("Spellen")
        self.assertTrue(self.run_.focus_button(1))
        self.run_.keys("Return")

    # No server answers the first time: the failure box, and the chosen folder keeps only
    # the marker. The second time the same folder is the installer's own: no refusal box,
    # and the installation completes (the window closes by itself).
    def test_a_failed_install_in_a_chosen_folder_can_be_retried_there(self):
        chosen = self.programs / "Spellen" / "Tolbex"
        chosen.parent.mkdir(parents=True, exist_ok=True)  # the dialog picks existing folders
        self.addCleanup(shutil.rmtree, chosen.parent, ignore_errors=True)
        self.install_in_spellen()
        box = inspect("box", self.screen, self.build, wait=60)
        self.assertIsNotNone(box, "no failure box")
        self.assertEqual(box_text(box), [FAILED])
        self.run_.keys("Return", title=None)
        self.assertEqual(self.run_.wait_exit(60), 0)
        self.assertEqual([p.name for p in chosen.iterdir()], ["tolbex_map.txt"])

        work = Path(tempfile.mkdtemp(prefix="tolbex-retry-"))
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        self.addCleanup(lambda: [p.unlink(missing_ok=True) for p in shortcut_paths(self.build)])
        launcher = self.build.fake_launcher.read_bytes()
        make_release(work / "site", {"tolbex_launcher.exe": launcher})
        with Nginx(work / "site", http_port=39706, lifetime=bound(120)):
            self.run_ = WindowRun(self.screen, self.build, record=work / "launched.txt")
            self.install_in_spellen()
            self.assertEqual(self.run_.wait_exit(120), 0, "the window did not finish")
        self.assertEqual((chosen / "tolbex_launcher.exe").read_bytes(), launcher)
        done = [line for line in self.run_.log_lines() if line.startswith("[installer] klaar in ")]
        self.assertEqual(len(done), 1, self.run_.log_lines())
        self.assertTrue(done[0].endswith("\\Programs\\Spellen\\Tolbex"), done)


def wait_gone(screen, build, title=DIALOG_TITLE, seconds=20):
    end = deadline(seconds)
    while time.monotonic() < end:
        if inspect("dialog " + title, screen, build) is None:
            return True
        time.sleep(0.3)
    return False


def wait_no_box(screen, build):
    return wait_gone(screen, build, title="Tolbex")


if __name__ == "__main__":
    unittest.main()
