"""The installer window end to end under Xvfb: its layout and keyboard, the busy state
held open by a slow server, the failure box, a whole installation from nginx with both
shortcuts and the launcher started, and the two things that may be missing: the window
itself and a folder for a shortcut. Stray "done" messages from another program are
ignored, and a worker whose run throws or whose post is refused still ends with the box."""
import contextlib
import re
import subprocess
import time
import unittest

from bounds import bound
from harness import WINE_RUN, tree_digest, wine_run
from releases import make_release
from servers import HostileServer, Nginx, delay, reply
from window_support import (FAILED, PROMPT, WindowCase, WindowRun, box_text, default_install_dir,
                            inspect, shortcut_paths, visible, wait_until, win_install_dir,
                            windows_form)

DOWNLOADING = "Tolbex wordt gedownload...\\nDownloading Tolbex..."
DESCRIPTION = "Tolbex - multiplayer voor Euro Truck Simulator 2"
NO_WINDOW = ("Het venster van Tolbex kon niet worden geopend.\\n\\n"
             "The Tolbex window could not be opened.")
ABORTED = "[installer] installatie afgebroken door een onverwachte fout"
SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"


class InstallerWindow(WindowCase):
    def test_layout_focus_tab_order_and_escape_closes_with_nothing_installed(self):
        programs = self.build.user_folder("AppData", "Local", "Programs")
        before = tree_digest(programs)
        view = self.start()
        self.assertEqual(view["client"], "480 150")
        x, y, width, height = map(int, view["window"].split())
        screen_w, screen_h = map(int, view["screen"].split())
        self.assertEqual((x, y), ((screen_w - width) // 2, (screen_h - height) // 2))
        # WS_CAPTION|WS_SYSMENU and nothing that sizes, minimises or maximises.
        self.assertEqual(int(view["style"], 16) & 0x00CF0000, 0x00C80000)
        self.assert_choosing_controls(view)
        self.assertEqual(view["focus"], "1")

        for key, focus in (("Tab", "10"), ("Tab", "1"), ("shift+Tab", "10"), ("shift+Tab", "1")):
            self.run_.keys(key)
            self.assertEqual(inspect("window", self.screen, self.build)["focus"], focus, key)

        self.run_.keys("Escape")
        self.assertEqual(self.run_.wait_exit(60), 0)
        self.assertEqual(tree_digest(programs), before)
        self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
        self.assertEqual(self.run_.log_lines(), [])

    def test_busy_window_ignores_keys_and_close_then_shows_the_failure_box(self):
        # Server 1 (https 39705) is down; server 2 answers only after a while, with 404.
        slow = {"/update/manifest.json": delay(12, reply(404))}
        with HostileServer(slow, port=39706, lifetime=bound(90)):
            self.start()
            self.run_.keys("Return")
            busy = wait_until(lambda: (lambda v: v if v and visible(v)[2:4] == ["0", "0"] else None)(
                inspect("window", self.screen, self.build)), 10)
            self.assertIsNotNone(busy, "the window did not turn busy")
            self.assertEqual(busy["children"][0]["text"], DOWNLOADING)
            install_dir = re.sub(r"   \(\d+ GB vrij / free\)$", "", busy["children"][1]["text"])

            x, y, width, _ = map(int, busy["window"].split())
            self.run_.keys("Escape", "Return", "alt+F4")
            self.screen.xdotool("mousemove", x + width - 12, y + 12, "click", "1")
            time.sleep(1)
            still = inspect("window", self.screen, self.build)
            self.assertIsNotNone(still, "the busy window closed")
            # Prompt, path line, the two hidden buttons, and the progress bar.
            self.assertEqual(visible(still), ["1", "1", "0", "0", "1"])
            self.assertIsNone(inspect("box", self.screen, self.build))

            box = inspect("box", self.screen, self.build, wait=60)
            self.assertIsNotNone(box, "no failure box")
            self.assertEqual(box_text(box), [FAILED])
            self.assertEqual(box["title"], "Tolbex")
            self.run_.keys("Return", title=None)
            self.assertEqual(self.run_.wait_exit(60), 0)
        self.assertIn("[installer] installeren in " + install_dir, self.run_.log_lines())
        self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
        self.assertFalse(self.record.exists())

    def test_installs_from_nginx_makes_both_shortcuts_then_starts_the_launcher(self):
        make_release(self.work / "site", {"tolbex_launcher.exe": self.build.fake_launcher.read_bytes()})
        desktop_link = shortcut_paths(self.build)[0]
        desktop_link.parent.mkdir(parents=True, exist_ok=True)
        desktop_link.write_bytes(b"an old shortcut")
        with Nginx(self.work / "site", http_port=39706, lifetime=bound(120)):
            self.start()
            self.run_.keys("Return")
            self.assertEqual(self.run_.wait_exit(120), 0)
            launched = wait_until(lambda: self.record.exists() and time.time(), 30)
        self.assertTrue(launched, "the launcher never started")

        install_dir = win_install_dir(self.build)
        done = "[installer] klaar in " + install_dir
        self.assertIn(done, self.run_.log_lines())
        self.assertLessEqual(self.run_.line_time(done), launched)
        self.assertEqual(self.record.read_text().splitlines()[0].lower(),
                         "cwd=" + install_dir.lower())

        target = install_dir + "\\tolbex_launcher.exe"
        for link in shortcut_paths(self.build):
            self.assertEqual([p.name for p in link.parent.glob("Tolbex*.lnk")], ["Tolbex.lnk"])
            read = wine_run([self.build.path("tests/window-inspector.exe"),
                             "shortcut", windows_form(self.build, link)], build=self.build,
                            env=self.screen.env)
            fields = dict(l.split(" ", 1) if " " in l else (l, "")
                          for l in read.stdout.decode().replace("\r", "").splitlines())
            self.assertEqual(fields, {"target": target, "workdir": install_dir,
                                      "description": DESCRIPTION, "arguments": ""}, link)

    def test_a_window_that_cannot_be_built_says_so_in_a_box_and_exits_1(self):
        # window-refuser.dll, hooked into every process on the screen, makes CreateWindowExW
        # fail in the installer: for its main window, or for the controls once it exists.
        with self.refuser():
            for refused in ("window", "controls"):
                with self.subTest(refused=refused):
                    self.run_ = WindowRun(self.screen, self.build, record=self.record,
                                          env={"TOLBEX_REFUSE": refused})
                    box = inspect("box", self.screen, self.build, wait=60)
                    self.assertIsNotNone(box, "no box")
                    self.assertEqual((box["title"], box_text(box)), ("Tolbex", [NO_WINDOW]))
                    self.assertIsNone(inspect("window", self.screen, self.build))
                    self.run_.keys("Return", title=None)
                    self.assertEqual(self.run_.wait_exit(60), 1)
                    self.assertFalse(default_install_dir(self.build).exists())
                    self.assertFalse(self.record.exists())

    def test_a_worker_that_cannot_start_leaves_the_busy_state_and_shows_the_failure_box(self):
        # The same DLL, loaded with the window, points the installer's CreateThread at one
        # that fails.
        with self.refuser():
            self.start(env={"TOLBEX_REFUSE": "thread"})
            self.run_.keys("Return")
            box = inspect("box", self.screen, self.build, wait=30)
            self.assertIsNotNone(box, "no failure box")
            self.assertEqual((box["title"], box_text(box)), ("Tolbex", [FAILED]))
            # Behind the box the window is out of the busy state: prompt and buttons back.
            behind = inspect("window", self.screen, self.build)
            self.assertEqual(visible(behind), ["1", "1", "1", "1"])
            self.assertEqual(behind["children"][0]["text"], PROMPT)
            # No longer busy: progress posts bring no bar back.
            self.post_done(("65836", "0"), ("65836", "1"), command="progress")
            self.assertEqual(visible(inspect("window", self.screen, self.build)),
                             ["1", "1", "1", "1"])
            self.run_.keys("Return", title=None)
            self.assertEqual(self.run_.wait_exit(60), 0)
        lines = self.run_.log_lines()
        self.assertIn("[installer] installatie kon niet starten (fout 8)", lines)
        self.assertFalse(any(line.startswith("Geen updateserver") for line in lines), lines)
        self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
        self.assertFalse(self.record.exists())

    def test_stray_done_messages_are_ignored_while_choosing_and_while_installing(self):
        release = make_release(self.work / "site", {
            "tolbex_launcher.exe": self.build.fake_launcher.read_bytes()})
        routes = {f"/update/{p.name}": reply(200, p.read_bytes()) for p in release.iterdir()}
        routes["/update/manifest.json"] = delay(12, routes["/update/manifest.json"])
        with HostileServer(routes, port=39706, lifetime=bound(120)):
            before = self.start()
            self.post_done(("1", "0"), ("0", "0"))
            after = inspect("window", self.screen, self.build)
            self.assertEqual((visible(after), after["children"][0]["text"]),
                             (visible(before), PROMPT))
            self.assertIsNone(inspect("box", self.screen, self.build))

            self.run_.keys("Return")
            busy = wait_until(lambda: (lambda v: v if v and visible(v)[2:4] == ["0", "0"] else None)(
                inspect("window", self.screen, self.build)), 10)
            self.assertIsNotNone(busy, "the window did not turn busy")
            self.post_done(("1", "0"), ("0", "0"), ("1", "1"))
            still = inspect("window", self.screen, self.build)
            self.assertEqual((visible(still), still["children"][0]["text"]),
                             (["1", "1", "0", "0", "1"], DOWNLOADING))
            self.assertIsNone(inspect("box", self.screen, self.build))
            self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
            self.assertFalse(self.record.exists())

            self.assertEqual(self.run_.wait_exit(120), 0)
        self.assertIn("[installer] klaar in " + win_install_dir(self.build), self.run_.log_lines())
        self.assertTrue(all(p.exists() for p in shortcut_paths(self.build)))
        self.assertTrue(wait_until(self.record.exists, 30), "the launcher never started")

    def test_a_worker_that_throws_or_cannot_post_still_ends_with_the_failure_box(self):
        # memory: the worker's first allocation fails, so operator new throws
        # std::bad_alloc before any server is asked. post: the run ends (no server answers)
        # but every PostMessageW of its result fails, as with a full queue.
        with self.refuser():
            for refused, servers_asked in (("memory", False), ("post", True)):
                with self.subTest(refused=refused):
                    self.start(env={"TOLBEX_REFUSE": refused})
                    self.run_.keys("Return")
                    box = inspect("box", self.screen, self.build, wait=60)
                    self.assertIsNotNone(box, "no failure box")
                    self.assertEqual((box["title"], box_text(box)), ("Tolbex", [FAILED]))
                    self.run_.keys("Return", title=None)
                    self.assertEqual(self.run_.wait_exit(60), 0)
                    lines = self.run_.log_lines()
                    self.assertEqual(any(line.startswith("Geen updateserver") for line in lines),
                                     servers_asked, lines)
                    self.assertEqual(ABORTED in lines, not servers_asked, lines)
                    self.assertFalse(any(p.exists() for p in shortcut_paths(self.build)))
                    self.assertFalse(self.record.exists())

    def test_a_shortcut_folder_that_cannot_be_resolved_is_skipped(self):
        # The desktop redirected to a folder that does not exist: the known-folder lookup
        # fails, as for a desktop on an unplugged network drive.
        missing = r"C:\tolbex-missing\Desktop"
        self.assertFalse((self.build.prefix / "drive_c" / "tolbex-missing").exists())
        make_release(self.work / "site", {"tolbex_launcher.exe": self.build.fake_launcher.read_bytes()})
        here = self.work / "cwd"
        here.mkdir()
        desktop_link, programs_link = shortcut_paths(self.build)
        self.set_desktop(missing)
        try:
            with Nginx(self.work / "site", http_port=39706, lifetime=bound(120)):
                self.start(cwd=here)
                self.run_.keys("Return")
                self.assertEqual(self.run_.wait_exit(120), 0)
        finally:
            self.set_desktop(r"%USERPROFILE%\Desktop")
        self.assertIn("[installer] klaar in " + win_install_dir(self.build), self.run_.log_lines())
        self.assertTrue(programs_link.exists(), "the Start-menu shortcut is missing")
        self.assertFalse(desktop_link.exists())
        self.assertFalse((self.build.prefix / "drive_c" / "tolbex-missing").exists())
        self.assertEqual(list(here.iterdir()), [])
        self.assertTrue(wait_until(self.record.exists, 30), "the launcher never started")

    @contextlib.contextmanager
    def refuser(self):
        """window-refuser.dll hooked into every process on the screen while the block runs;
        it acts only in a process whose environment has TOLBEX_REFUSE."""
        hook = subprocess.Popen(
            [str(WINE_RUN), str(self.build.path("tests/window-inspector.exe")),
             "refuse", "--wait", str(bound(200))],
            env=self.build.env(self.screen.env), stdout=subprocess.PIPE)
        try:
            self.assertEqual(hook.stdout.readline().strip(), b"ready")
            yield
        finally:
            hook.kill()
            hook.wait(timeout=bound(20))
            hook.stdout.close()

    def set_desktop(self, value):
        done = wine_run(["reg", "add", SHELL_FOLDERS, "/v", "Desktop", "/t", "REG_EXPAND_SZ",
                         "/d", value, "/f"], build=self.build, env=self.screen.env)
        self.assertEqual(done.returncode, 0, done.stderr)


if __name__ == "__main__":
    unittest.main()
