"""The test mode, "TolbexSetup.exe --proef FOLDER", as the e2e tests run it, and the report
it writes.

    run_test_mode(folder, build=None, env=None, exe=None, seconds=60)
                          (exit code, log lines) of one run under debug-capture. folder: a
                          Path, or the argument exactly as given (a str); exe: another copy
                          of the installer; seconds: what the run's own work may take (the
                          time-out adds the loaded machine's margin, bounds.py)
    timed_test_mode(...)  the same, each line as (seconds since the start, line), stamped
                          when it was read
    expected_report(folder, fout="nee", eigen_map="1", gelukt="1")
                          the bytes of FOLDER\\installer.txt: four CR LF lines, one byte a
                          character; folder as the installer shows it (a Path, or the
                          Windows text)

The output goes through a file, not a pipe: a file another process holds, or a second
installer, keeps the wineserver, and with it Wine's helper processes and any pipe they
inherited, alive after the run.
"""
import subprocess
import tempfile
import time
from pathlib import Path

from bounds import bound
from harness import WINE_RUN, Build, win_path


def timed_test_mode(folder, build=None, env=None, exe=None, seconds=60):
    build = build or Build()
    argument = win_path(folder) if isinstance(folder, Path) else folder
    limit = bound(seconds)
    args = ["timeout", "--kill-after=10", str(limit), str(WINE_RUN), str(build.debug_capture),
            str(exe or build.setup), "--proef", argument]
    events = []
    with tempfile.NamedTemporaryFile(prefix="tolbex-test-mode-") as out, \
            open(out.name, "rb") as reader:
        start = time.monotonic()
        process = subprocess.Popen(args, env=build.env(env), stdout=out,
                                   stderr=subprocess.DEVNULL)
        pending = b""
        while True:
            ended = process.poll() is not None
            pending += reader.read()
            *whole, pending = pending.split(b"\n")
            now = time.monotonic() - start
            events += [(now, raw.decode("utf-8", "replace").rstrip("\r")) for raw in whole]
            if ended:
                break
            time.sleep(0.05)
    if pending:
        events.append((now, pending.decode("utf-8", "replace").rstrip("\r")))
    if process.returncode in (124, 137):  # timeout's own codes: the run was ended
        raise subprocess.TimeoutExpired(args, limit)
    lines = [(at, text) for (at, text), (_, after) in zip(events, events[1:])
             if after == "\\n" and text != "\\n"]
    return process.returncode, lines


def run_test_mode(folder, build=None, env=None, exe=None, seconds=60):
    code, lines = timed_test_mode(folder, build, env, exe, seconds)
    return code, [text for _, text in lines]


def expected_report(folder, fout="nee", eigen_map="1", gelukt="1"):
    shown = win_path(folder) if isinstance(folder, Path) else folder
    return (f"map={shown}\\Tolbex\r\nfout={fout}\r\neigen_map={eigen_map}\r\n"
            f"gelukt={gelukt}\r\n").encode("latin-1")
