"""Signed releases made with `tolbex-publish release`, for the tests, the demo and the
benchmarks.

    publish_tool(build)           the host-built tolbex-publish: $TOLBEX_PUBLISH, else the
                                  Windows build's host-tools/, else the native build's
    publish_release(tool, out, files, version="3.0.0", key=DEMO_KEY_1, extra=())
                                  runs `release` on the files (paths) into out/update;
                                  CompletedProcess (check=False)
    make_release(out, files, build=None, version="3.0.0", key=DEMO_KEY_1, extra=())
                                  an ordinary release of files ({name: bytes}) in
                                  out/update, with build's tool (default Build());
                                  returns that folder (raises when refused)
    demo_files(folder, launcher)  writes the release's three files into folder; returns
                                  {name: bytes}. launcher: the bytes of tolbex_launcher.exe
    DEMO_KEY_1, DEMO_KEY_2        the demo private keys; DEMO_BLOB_1/2 their public blobs
    UPDATE_NAMES                  the five names an update may write
    WRITE_PHASE_FILE              matches the names only a write phase makes beside them
                                  (staged, backup, the journal): none may remain after a run
"""
import os
import re
import subprocess
import tempfile
from pathlib import Path

from bounds import bound
from harness import SOURCE_DIR, Build

DEMO_KEY_1 = SOURCE_DIR / "demo" / "keys" / "demo-key-1.pem"
DEMO_KEY_2 = SOURCE_DIR / "demo" / "keys" / "demo-key-2.pem"


def _demo_blob(n):
    text = (SOURCE_DIR / "cmake" / "deployment.cmake").read_text()
    return re.search(rf'set\(TOLBEX_DEMO_KEY_{n} "([0-9a-f]{{144}})"\)', text).group(1)


DEMO_BLOB_1 = _demo_blob(1)
DEMO_BLOB_2 = _demo_blob(2)
UPDATE_NAMES = ["tolbex_launcher.exe", "tolbex_core.dll", "tolbex_telemetry.dll", "tolbex.ini",
                "Vonkel.dll"]
WRITE_PHASE_FILE = re.compile(r"(\.(tijdelijk|vorig)|^tolbex_bijwerken\.journaal)$", re.IGNORECASE)


def publish_tool(build=None):
    candidates = []
    if os.environ.get("TOLBEX_PUBLISH"):
        candidates.append(Path(os.environ["TOLBEX_PUBLISH"]))
    if build is not None:
        candidates.append(build.path("host-tools/tolbex-publish/tolbex-publish"))
    candidates.append(SOURCE_DIR / "build" / "native" / "tools" / "tolbex-publish" / "tolbex-publish")
    for tool in candidates:
        if tool.is_file():
            return tool
    raise RuntimeError("tolbex-publish is not built; looked at " + ", ".join(map(str, candidates)))


def demo_files(folder, launcher):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    files = {
        "tolbex_launcher.exe": launcher,
        "tolbex.ini": b"[Tolbex]\r\nserver=demo.tolbex.invalid\r\nregion=eu\r\n"
                      b"; written by the demo release, at least 64 bytes\r\n",
        "tolbex_core.dll": b"TOLBEX CORE (demo): " + bytes(range(256)) * 2,
    }
    for name, data in files.items():
        (folder / name).write_bytes(data)
    return files


def publish_release(tool, out, files, version="3.0.0", key=DEMO_KEY_1, extra=()):
    args = [str(tool), "release", "--version", version, "--key", str(key), "--out", str(out)]
    args += list(extra) + [str(f) for f in files]
    return subprocess.run(args, capture_output=True, text=True, timeout=bound(60))


def make_release(out, files, build=None, version="3.0.0", key=DEMO_KEY_1, extra=()):
    with tempfile.TemporaryDirectory(prefix="tolbex-release-files-") as scratch:
        paths = []
        for name, data in files.items():
            paths.append(Path(scratch) / name)
            paths[-1].write_bytes(data)
        made = publish_release(publish_tool(build or Build()), out, paths, version, key, extra)
    if made.returncode != 0:
        raise RuntimeError(f"tolbex-publish release refused {sorted(files)}: {made.stderr}")
    return Path(out) / "update"
