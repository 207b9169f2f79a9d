"""Running the installer's Windows programs under Wine, for the e2e tests and benchmarks.

    from harness import Build, wine_run, capture_log, win_path, free_port

Build()            the build folder (TOLBEX_BUILD_DIR, else build/windows) and its programs:
                   .setup (TolbexSetup.exe), .debug_capture, .fake_launcher, .path(rel)
wine_run(args)     runs a Windows program in the build's Wine prefix; CompletedProcess.
                   Its default time-out has the loaded machine's margin (bounds.py);
                   a caller that gives one passes bound(seconds)
capture_log(args)  runs it under debug-capture; (exit code, list of events) where each
                   log line is two events: the message, then "\\n"
events_of(text)    debug-capture's output as that list of events
log_lines(events)  the messages of whole log lines (message followed by its "\\n" event)
win_path(p)        the Windows form (Z:\\...) of a Linux path, as Wine maps it
free_port()        a free TCP port on 127.0.0.1
reg_set / reg_delete_key   HKCU values through Wine's reg.exe
UNINSTALL_KEY      the installation's HKCU uninstall key (its InstallLocation value)
tree_digest(root)  {relative name: SHA-256 of the bytes, or "<dir>"} of everything below
                   root; None when root does not exist
sha(data)          the SHA-256 of bytes, in hex, as tree_digest gives it
"""
import hashlib
import os
import socket
import subprocess
from pathlib import Path

from bounds import bound

SOURCE_DIR = Path(os.environ.get("TOLBEX_SOURCE_DIR", Path(__file__).resolve().parents[2]))
WINE_RUN = SOURCE_DIR / "cmake" / "wine-run"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolbex"


class Build:
    def __init__(self, directory=None):
        d = directory or os.environ.get("TOLBEX_BUILD_DIR") or SOURCE_DIR / "build" / "windows"
        self.dir = Path(d).resolve()
        self.setup = self.dir / "TolbexSetup.exe"
        self.debug_capture = self.dir / "tools" / "debug-capture" / "debug-capture.exe"
        self.fake_launcher = self.dir / "tests" / "fake_launcher.exe"
        self.prefix = Path(os.environ.get("WINEPREFIX", self.dir / "wineprefix"))

    def path(self, relative):
        return self.dir / relative

    def env(self, extra=None):
        env = dict(os.environ)
        env["TOLBEX_BUILD_DIR"] = str(self.dir)
        env["WINEPREFIX"] = str(self.prefix)
        if extra:
            env.update(extra)
        return env

    def user_folder(self, *parts):
        """A folder of the prefix's Wine user, as a Linux path (Desktop, AppData/Local...)."""
        users = self.prefix / "drive_c" / "users"
        user = os.environ.get("USER") or "root"
        if not (users / user).exists():
            candidates = [p for p in users.iterdir() if p.name not in ("Public",)] if users.exists() else []
            if candidates:
                user = candidates[0].name
        return users.joinpath(user, *parts)


def wine_run(args, build=None, env=None, timeout=bound(60), cwd=None, check=False):
    build = build or Build()
    return subprocess.run([str(WINE_RUN)] + [str(a) for a in args], env=build.env(env),
                          timeout=timeout, cwd=cwd, capture_output=True, check=check)


def capture_log(args, build=None, env=None, timeout=bound(60), cwd=None):
    """Runs a program under debug-capture; returns (exit code, events)."""
    build = build or Build()
    result = wine_run([build.debug_capture] + list(args), build=build, env=env,
                      timeout=timeout, cwd=cwd)
    return result.returncode, events_of(result.stdout.decode("utf-8", "replace"))


def events_of(text):
    """debug-capture's output, one event a line."""
    # Outside ctest Wine may hand the console's text mode CR LF line ends; a CR inside an
    # event is printed escaped, so a raw one is always the line end's.
    events = text.replace("\r\n", "\n").split("\n")
    if events and events[-1] == "":
        events.pop()
    return events


def log_lines(events):
    """Whole log lines: each message event directly followed by a lone line-feed event."""
    lines = []
    for i in range(len(events) - 1):
        if events[i + 1] == "\\n" and events[i] != "\\n":
            lines.append(events[i])
    return lines


def win_path(path):
    """Wine's Z: drive maps the Linux root: /tmp/x becomes Z:\\tmp\\x."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def reg_set(key, name, value, build=None, kind="REG_SZ"):
    return wine_run(["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], build=build)


def reg_delete_key(key, build=None):
    return wine_run(["reg", "delete", key, "/f"], build=build)


def tree_digest(root):
    """Names and bytes of a folder tree: two equal digests mean nothing below root was
    added, removed, renamed or rewritten. A dict, so a failed comparison shows the entry."""
    root = Path(root)
    if not root.exists():
        return None
    return {p.relative_to(root).as_posix(): sha(p.read_bytes())
            if p.is_file() else "<dir>" for p in sorted(root.rglob("*"))}


def sha(data):
    return hashlib.sha256(data).hexdigest()
