"""The demo's last step: a signed release made with tolbex-publish, served on the demo
deployment's two servers, installed with TolbexSetup.exe --proef under Wine.

    python3 demo/demo.py WORKDIR     (demo/run sets TOLBEX_PUBLISH, TOLBEX_BUILD_DIR and
                                      WINEPREFIX, the demo's own prefix)
"""
import hashlib
import shutil
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "support"))

from harness import Build, capture_log, log_lines, win_path  # noqa: E402
from releases import demo_files, publish_release, publish_tool  # noqa: E402
from servers import Nginx, trust_test_ca  # noqa: E402


class StepFailed(Exception):
    pass


def say(title):
    print(f"\n--- {title}", flush=True)


def make_demo_release(work, build):
    say("demo release 3.0.0, signed with demo/keys/demo-key-1.pem")
    files = demo_files(work / "files", build.fake_launcher.read_bytes())
    made = publish_release(publish_tool(build), work / "site", sorted((work / "files").iterdir()))
    if made.returncode != 0:
        raise StepFailed("tolbex-publish release: " + made.stderr.strip())
    print(made.stdout.strip())
    print((work / "site" / "update" / "manifest.json").read_text(), end="")
    return files


def install(work, build):
    say("serving on https://localhost:39705 (test CA, trusted in the demo prefix only) "
        "and http://localhost:39706")
    try:
        trust_test_ca(build)
    except (RuntimeError, OSError) as error:
        raise StepFailed(f"trusting the test CA in {build.prefix}: {error}")
    target = work / "test"
    target.mkdir()
    command = [build.setup, "--proef", win_path(target)]
    try:
        with Nginx.demo(work / "site", build=build, lifetime=300):
            say("TolbexSetup.exe --proef " + win_path(target) + "   (under Wine, via debug-capture)")
            code, events = capture_log(command, build=build, timeout=240)
    except RuntimeError as error:
        raise StepFailed(f"serving on the demo ports: {error} (is a port in use?)")
    # debug-capture's stdout is in text mode: Wine may hand its lines on with CR LF.
    return target, code, log_lines([event.rstrip("\r") for event in events])


def show(target, code, lines, files):
    say("log lines (debugger output)")
    for line in lines:
        print("  " + line)
    say(f"report {win_path(target / 'installer.txt')}")
    report = target / "installer.txt"
    if not report.exists():
        raise StepFailed("the installer wrote no report")
    print(report.read_bytes().decode("latin-1").replace("\r\n", "\n"), end="")
    say("installed files in " + win_path(target / "Tolbex"))
    for path in sorted((target / "Tolbex").iterdir()):
        data = path.read_bytes()
        same = "" if path.name not in files else (
            "  = release" if files[path.name] == data else "  DIFFERS from the release")
        print(f"  {path.name:22} {len(data):6} bytes  sha256 {hashlib.sha256(data).hexdigest()[:16]}…{same}")
    say(f"exit code {code}: " + ("installed" if code == 0 else "installation failed"))
    return code


def main():
    work = Path(sys.argv[1]).resolve()
    for old in ("files", "site", "test"):
        shutil.rmtree(work / old, ignore_errors=True)
    work.mkdir(parents=True, exist_ok=True)
    build = Build()
    try:
        files = make_demo_release(work, build)
        target, code, lines = install(work, build)
        return show(target, code, lines, files)
    except StepFailed as error:
        print(f"\ndemo: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
