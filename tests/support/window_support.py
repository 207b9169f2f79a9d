"""Driving the installer window under its own Xvfb screen, for the window_* tests.

    from window_support import Screen, WindowRun, inspect

Screen()                  context manager: an Xvfb on a free display (1280x1024), bounded
                          lifetime; .env gives DISPLAY for the programs run on it
WindowRun(screen, ...)    TolbexSetup.exe on the window road under debug-capture
    .wait_window()          the parsed inspector view of the window, once it is up
    .keys(*names)           focuses the window (or the box/dialog on top) and types keys
    .wait_exit()            the exit code; .log_lines() the whole log lines seen
inspect(what, ...)        window-inspector.exe: "window", "box", "dialog TITLE", "gone"
"""
import os
import shutil
import subprocess
import threading
import time
from pathlib import Path

from harness import UNINSTALL_KEY, WINE_RUN, Build, log_lines, win_path, wine_run

DIALOG_TITLE = "Waar moet Tolbex komen? / Where should Tolbex go?"


class Screen:
    """Xvfb on the first free display from :140, so the tests' keys go to their window only."""

    def __init__(self, lifetime=600):
        self.lifetime = lifetime

    def __enter__(self):
        for number in range(140, 200):
            if not Path(f"/tmp/.X{number}-lock").exists():
                break
        self.display = f":{number}"
        self.process = subprocess.Popen(
            ["timeout", str(self.lifetime), "Xvfb", self.display, "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline and not Path(f"/tmp/.X11-unix/X{number}").exists():
            time.sleep(0.1)
        self.env = {"DISPLAY": self.display}
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)

    def xdotool(self, *args):
        env = dict(os.environ, DISPLAY=self.display)
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True,
                              timeout=20)

    def screenshot(self, target):
        env = dict(os.environ, DISPLAY=self.display)
        subprocess.run(["import", "-window", "root", str(target)], env=env, check=True, timeout=30)


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
    """The inspector's view of the window, box or dialog; None when it is not there.

    Polls with short inspector runs rather than one long --wait: an inspector started in
    the same instant as the installer under a fresh wineserver can hang in Wine's start."""
    build = build or Build()
    tool = build.path("tests/window-inspector.exe")
    deadline = time.time() + wait
    while True:
        try:
            result = wine_run([tool] + what.split(" ", 1), build=build, env=screen.env, timeout=20)
            if result.returncode == 0:
                return parse_view(result.stdout.decode("utf-8"))
        except subprocess.TimeoutExpired:
            pass
        if time.time() >= deadline:
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
            ["timeout", "240", str(WINE_RUN), str(self.build.debug_capture), str(self.build.setup)],
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

    def wait_exit(self, timeout=120):
        code = self.process.wait(timeout=timeout)
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
            self.process.wait(timeout=20)


def wait_until(predicate, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    return predicate()
