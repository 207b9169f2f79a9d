"""Driving the installer window under its own Xvfb screen, for the window_* tests.

    from window_support import Screen, WindowRun, inspect

Screen()                  context manager: an Xvfb on a free display (1280x1024), bounded
                          lifetime; .env gives DISPLAY for the programs run on it
WindowRun(screen, ...)    TolbexSetup.exe on the window road under debug-capture
    .wait_window()          the parsed inspector view of the window, once it is up
    .keys(*names)           focuses the window (or the box/dialog on top) and types keys
    .wait_exit()            the exit code; .log_lines() the whole log lines seen
inspect(what, ...)        window-inspector.exe: "window", "box", "dialog TITLE", "gone"
WindowCase                a TestCase with a fresh screen and prefix per test: .start() runs
                          the window, .post_done() posts to it as another program can
PROMPT, FAILED, CONTROLS  the window's prompt, its failure box's text, its table of controls
visible(view), box_text(view)   the children's visible flags; a box's texts
win_install_dir(build)    the default install folder as the installer shows it (C:\\...)
"""
import os
import shutil
import subprocess
import tempfile
import threading
import time
import unittest
from pathlib import Path

from bounds import bound, deadline
from harness import UNINSTALL_KEY, WINE_RUN, Build, log_lines, win_path, wine_run

DIALOG_TITLE = "Waar moet Tolbex komen? / Where should Tolbex go?"
PROMPT = ("Waar moet Tolbex komen? De servermods kunnen tientallen GB groot zijn.\\n"
          "Where should Tolbex go? The server mods can take tens of GB.")
FAILED = ("Tolbex kon niet worden gedownload. Controleer je internet en probeer het opnieuw."
          "\\n\\nTolbex could not be downloaded. Check your internet connection and try again.")
# class, text, style bits, extended style bits, x y width height, id: the window's table.
# WS_CHILD|WS_VISIBLE = 0x50000000; SS_PATHELLIPSIS 0x8000, SS_CENTERIMAGE 0x200;
# WS_TABSTOP 0x10000; BS_DEFPUSHBUTTON 1; WS_EX_CLIENTEDGE 0x200.
CONTROLS = [
    ("Static", PROMPT, 0x50000000, 0, "15 15 450 34", "0"),
    ("Static", None, 0x50008200, 0x200, "15 58 450 24", "0"),
    ("Button", "Andere map... / Change...", 0x50010000, 0, "15 100 200 32", "10"),
    ("Button", "Installeren / Install", 0x50010001, 0, "265 100 200 32", "1"),
]


class Screen:
    """Xvfb on the first free display from :140, so the tests' keys go to their window only."""

    def __init__(self, lifetime=bound(600)):
        self.lifetime = lifetime

    def __enter__(self):
        for number in range(140, 200):
            if not Path(f"/tmp/.X{number}-lock").exists():
                break
        self.display = f":{number}"
        self.process = subprocess.Popen(
            ["timeout", str(self.lifetime), "Xvfb", self.display, "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = deadline(10)
        while time.monotonic() < end and not Path(f"/tmp/.X11-unix/X{number}").exists():
            time.sleep(0.1)
        self.env = {"DISPLAY": self.display}
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=bound(10))

    def xdotool(self, *args):
        env = dict(os.environ, DISPLAY=self.display)
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True,
                              timeout=bound(20))

    def screenshot(self, target):
        env = dict(os.environ, DISPLAY=self.display)
        subprocess.run(["import", "-window", "root", str(target)], env=env, check=True, timeout=bound(30))


def parse_view(text):
    """The inspector's lines as {"client": "480 150", ..., "children": [{...}, ...]}."""
    view = {"children": []}
    for line in text.replace("\r", "").splitlines():
        if line == "child":
            view["children"].append({})
            continue
        key, _, value = line.strip().partition(" ")
        target = view["children"][-1] if line.startswith("  ") else view
        target[key] = value
    return view


def inspect(what, screen, build=None, wait=0):
    """The inspector's view of the window, box or dialog; None when it is not there. With
    wait, polls until it is there or wait seconds (and the loaded machine's margin) passed.

    Polls with short inspector runs rather than one long --wait: an inspector started in
    the same instant as the installer under a fresh wineserver can hang in Wine's start.
    Each run that times out gives the next twice the time, up to a whole Wine start's
    bound, so a loaded machine's slow start gets through too."""
    build = build or Build()
    tool = build.path("tests/window-inspector.exe")
    end = deadline(wait) if wait else time.monotonic()
    run_timeout = 20
    while True:
        try:
            result = wine_run([tool] + what.split(" ", 1), build=build, env=screen.env,
                              timeout=run_timeout)
            if result.returncode == 0:
                return parse_view(result.stdout.decode("utf-8"))
        except subprocess.TimeoutExpired:
            run_timeout = min(2 * run_timeout, bound(20))
        if time.monotonic() >= end:
            return None
        time.sleep(0.5)


def prepare_prefix(build, screen):
    """No previous install, no shortcuts; Wine draws the caption (no window manager runs).

    Every Wine program here runs with the screen's DISPLAY: a wineserver whose first
    program ran without one keeps a desktop that later windowed programs hang on."""
    wine_run(["reg", "delete", UNINSTALL_KEY, "/f"], build=build, env=screen.env)
    wine_run(["reg", "add", r"HKCU\Software\Wine\AppDefaults\TolbexSetup.exe\X11 Driver", "/v",
              "Decorated", "/t", "REG_SZ", "/d", "N", "/f"], build=build, env=screen.env)
    shutil.rmtree(default_install_dir(build), ignore_errors=True)
    for link in shortcut_paths(build):
        link.unlink(missing_ok=True)


def default_install_dir(build):
    return build.user_folder("AppData", "Local", "Programs", "Tolbex")


def shortcut_paths(build):
    return [build.user_folder("Desktop", "Tolbex.lnk"),
            build.user_folder("AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                              "Programs", "Tolbex.lnk")]


class WindowRun:
    """TolbexSetup.exe under debug-capture on the given screen; its output read as it comes."""

    def __init__(self, screen, build=None, record=None, env=None, cwd=None):
        self.screen = screen
        self.build = build or Build()
        full_env = self.build.env(screen.env)
        full_env.update(env or {})
        if record:
            full_env["TOLBEX_FAKE_LAUNCHER_RECORD"] = win_path(record)
        self.process = subprocess.Popen(
            ["timeout", str(bound(240)), str(WINE_RUN), str(self.build.debug_capture),
             str(self.build.setup)],
            env=full_env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.events = []  # (time seen, event text)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            self.events.append((time.time(), raw.decode("utf-8", "replace").rstrip("\r\n")))

    def wait_window(self, wait=60):
        time.sleep(2)
        return inspect("window", self.screen, self.build, wait=wait)

    def keys(self, *names, title="^Tolbex$"):
        """Gives the X focus to the last window with that title and types the keys; with
        title None the keys go to whatever Wine focused (a box focuses itself)."""
        found = self.screen.xdotool("search", "--name", title).stdout.split() if title else []
        if found:
            self.screen.xdotool("windowfocus", "--sync", found[-1].decode())
            time.sleep(0.3)
        for name in names:
            self.screen.xdotool("key", name)
            time.sleep(0.4)

    def focus_button(self, control_id):
        """Tabs until the button has the focus; after a dialog the window itself has it."""
        for _ in range(4):
            view = inspect("window", self.screen, self.build)
            if view and view["focus"] == str(control_id):
                return True
            self.keys("Tab")
        return False

    def type_text(self, text):
        self.screen.xdotool("type", "--delay", "50", text)

    def wait_exit(self, seconds=120):
        """The exit code, once the run ends within seconds (and the margin)."""
        code = self.process.wait(timeout=bound(seconds))
        self.reader.join(timeout=10)
        return code

    def log_lines(self):
        return log_lines([text for _, text in self.events])

    def line_time(self, line):
        events = self.events
        for i in range(len(events) - 1):
            if events[i][1] == line and events[i + 1][1] == "\\n":
                return events[i][0]
        return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=bound(20))


def wait_until(predicate, seconds=30):
    """predicate's first true value within seconds (and the margin), else its last."""
    end = deadline(seconds)
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    return predicate()


def visible(view):
    return [c["visible"] for c in view["children"]]


def box_text(view):
    return [c["text"] for c in view["children"] if c["class"] == "Static" and c["text"]]


class WindowCase(unittest.TestCase):
    """A fresh screen and prefix per test; the window run started by start()."""

    def setUp(self):
        self.build = Build()
        self.screen = Screen().__enter__()
        prepare_prefix(self.build, self.screen)
        self.work = Path(tempfile.mkdtemp(prefix="tolbex-window-"))
        self.record = self.work / "launcher_record.txt"
        self.run_ = None

    def tearDown(self):
        if self.run_:
            self.run_.kill()
        self.screen.__exit__(None, None, None)
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(default_install_dir(self.build), ignore_errors=True)

    def start(self, **run):
        self.run_ = WindowRun(self.screen, self.build, record=self.record, **run)
        view = self.run_.wait_window()
        self.assertIsNotNone(view, "the window never appeared")
        return view

    def post_done(self, *pairs, command="post"):
        """Posts WM_APP + 1 with each (wParam, lParam) to the window, as any program can;
        command "progress" posts WM_APP + 2 instead."""
        tool = self.build.path("tests/window-inspector.exe")
        for wparam, lparam in pairs:
            posted = wine_run([tool, command, wparam, lparam], build=self.build,
                              env=self.screen.env)
            self.assertEqual(posted.returncode, 0, (wparam, lparam))
        time.sleep(1)

    def assert_choosing_controls(self, view):
        """Exactly the four controls of the table, in creation order."""
        self.assertEqual(len(view["children"]), 4)
        for child, (cls, text, style, exstyle, rect, cid) in zip(view["children"], CONTROLS):
            self.assertEqual(child["class"], cls)
            if text is not None:
                self.assertEqual(child["text"], text)
            self.assertEqual(int(child["style"], 16), style)
            self.assertEqual(int(child["exstyle"], 16) & 0x200, exstyle)
            self.assertEqual((child["rect"], child["id"]), (rect, cid))


def win_install_dir(build):
    return windows_form(build, default_install_dir(build))


def windows_form(build, path):
    """C:\\users\\... for a path inside the prefix's drive_c."""
    relative = Path(path).relative_to(build.prefix / "drive_c")
    return "C:\\" + str(relative).replace("/", "\\")
