"""Makes docs/window.png: the installer window on the default folder, under its own Xvfb.

    TOLBEX_BUILD_DIR=build/windows PYTHONPATH=tests/support:tests/e2e \
        python3 tests/e2e/window_screenshot.py [OUTPUT.png]

Needs a Windows build (TolbexSetup, window-inspector, debug-capture). The window is
closed with Escape afterwards, so nothing is installed."""
import subprocess
import sys
from pathlib import Path

from harness import SOURCE_DIR, Build
from window_support import Screen, WindowRun, prepare_prefix


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else SOURCE_DIR / "docs" / "window.png"
    build = Build()
    with Screen() as screen:
        prepare_prefix(build, screen)
        run = WindowRun(screen, build)
        view = run.wait_window()
        if view is None:
            run.kill()
            sys.exit("the window never appeared")
        x, y, width, height = map(int, view["window"].split())
        full = target.with_suffix(".screen.png")
        screen.screenshot(full)
        subprocess.run(["convert", str(full), "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                        str(target)], check=True)
        full.unlink()
        run.keys("Escape")
        run.wait_exit(60)
    print(target)


if __name__ == "__main__":
    main()
