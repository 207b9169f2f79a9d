"""Makes docs/window.png and docs/window-busy.png: the installer window on the default
folder, then busy with its bar half full, under its own Xvfb.

    TOLBEX_BUILD_DIR=build/windows PYTHONPATH=tests/support \
        unshare -n bash -c 'ip link set lo up; python3 tests/e2e/window_screenshot.py [OUTPUT.png]'

Needs a Windows build (TolbexSetup, window-inspector, debug-capture) and the demo
deployment's http port (39706), hence the network namespace of its own. The busy window
installs from a release of two files: the first is served at once, the second
trickles so slowly that the bar stays at half. Then the server stops, the installation
fails, its box is closed, and the folder it was made in is removed: nothing is installed."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from bounds import bound
from harness import SOURCE_DIR, Build
from releases import make_release
from servers import HostileServer, drip, reply
from window_support import Screen, WindowRun, default_install_dir, inspect, prepare_prefix, wait_until

HALF = 500


def shoot(screen, view, target):
    x, y, width, height = map(int, view["window"].split())
    full = target.with_suffix(".screen.png")
    screen.screenshot(full)
    subprocess.run(["convert", str(full), "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                    str(target)], check=True)
    full.unlink()


def half_full(view):
    bars = [c for c in view["children"] if c["class"] == "msctls_progress32"] if view else []
    return view if bars and bars[0]["pos"] != "?" and int(bars[0]["pos"]) >= HALF else None


def slow_release(build, work):
    release = make_release(work / "site", {
        "tolbex_launcher.exe": build.fake_launcher.read_bytes(),
        "tolbex_core.dll": os.urandom(64 * 1024)})
    last = json.loads((release / "manifest.json").read_text())["files"][-1]
    routes = {}
    for path in release.iterdir():
        body = path.read_bytes()
        routes[f"/update/{path.name}"] = drip(body, 1, 60) if path.name == last else reply(200, body)
    return routes


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else SOURCE_DIR / "docs" / "window.png"
    busy_target = target.with_name(target.stem + "-busy" + target.suffix)
    build = Build()
    work = Path(tempfile.mkdtemp(prefix="tolbex-screenshot-"))
    try:
        with Screen() as screen:
            prepare_prefix(build, screen)
            run = WindowRun(screen, build)
            with HostileServer(slow_release(build, work), port=39706, lifetime=bound(300)):
                view = run.wait_window()
                if view is None:
                    run.kill()
                    sys.exit("the window never appeared")
                shoot(screen, view, target)
                run.keys("Return")
                busy = wait_until(lambda: half_full(inspect("window", screen, build)), 120)
                if busy is None:
                    run.kill()
                    sys.exit("the bar never reached half")
                time.sleep(1)
                shoot(screen, busy, busy_target)
            # The server has stopped mid-file: the run fails and its box is closed.
            if inspect("box", screen, build, wait=60):
                run.keys("Return", title=None)
            run.wait_exit(60)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(default_install_dir(build), ignore_errors=True)
    print(target)
    print(busy_target)


if __name__ == "__main__":
    main()
