"""A real full disk: the install folder on a 1 MiB tmpfs mounted for the test (as root).

TolbexSetup.exe --proef updates an older installation there with a release whose
tolbex_core.dll (2 MiB) cannot fit. The update is staged before any file is replaced, so
the old installation stays byte for byte, the log names the failed write with the disk's
own code (112, not a stale one) and no file is called in use, and the exit code is 1.
When only the first server's release is too big, the second server's fits and installs.
"""
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import Build, win_path
from releases import publish_release, publish_tool
from servers import Nginx, trust_test_ca
from test_mode import run_test_mode

BUILD = Build()
FIRST = "https://localhost:39705"
SECOND = "http://localhost:39706"
NAMES = ["tolbex_launcher.exe", "tolbex_core.dll", "tolbex.ini"]


def release(tool, folder, sizes):
    """A signed release of NAMES with the given byte counts; returns its site folder."""
    files = folder / "files"
    files.mkdir(parents=True)
    for name, size in zip(NAMES, sizes):
        (files / name).write_bytes((name.encode() + b" 3.0.0 ") * (size // 20 + 1))
    made = publish_release(tool, folder / "site", [files / name for name in NAMES])
    assert made.returncode == 0, made.stderr
    return folder / "site"


class FullDisk(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        trust_test_ca(BUILD)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-full-disk-"))
        tool = publish_tool(BUILD)
        cls.too_big = release(tool, cls.work / "big", [4096, 2 * 1024 * 1024, 200])
        cls.fits = release(tool, cls.work / "small", [4096, 8192, 200])
        cls.disk = cls.work / "disk"
        cls.disk.mkdir()
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tolbex-full-disk",
                        str(cls.disk)], check=True)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["umount", str(cls.disk)], check=False)
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        for entry in self.disk.iterdir():
            shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
        self.install = self.disk / "Tolbex"
        self.install.mkdir()
        self.old = {}
        for name in NAMES:
            data = f"{name} of the installed release 2.9.0\r\n".encode() * 8
            (self.install / name).write_bytes(data)
            self.old[name] = data

    def files(self):
        return {p.name: p.read_bytes() for p in self.install.iterdir()}

    def test_shows_that_the_release_cannot_fit(self):
        free = os.statvfs(self.disk)
        self.assertLess(free.f_bavail * free.f_frsize, 2 * 1024 * 1024)

    def test_an_update_that_does_not_fit_leaves_the_old_installation(self):
        with Nginx(self.too_big, http_port=39706, build=BUILD):
            code, lines = run_test_mode(self.disk, BUILD)
        self.assertEqual(code, 1, lines)
        self.assertEqual(self.files(), self.old)
        core = win_path(self.install / "tolbex_core.dll")
        self.assertIn(f"Schrijven van {core} mislukt (112)", lines)
        self.assertFalse([line for line in lines if "in gebruik" in line], lines)
        self.assertIn(f"[installer] via {SECOND} niet gelukt", lines)
        self.assertTrue((self.disk / "installer.txt").read_bytes().endswith(b"gelukt=0\r\n"))

    def test_when_the_first_release_does_not_fit_the_second_installs(self):
        with Nginx(self.too_big, https_port=39705, build=BUILD), \
                Nginx(self.fits, http_port=39706, build=BUILD):
            code, lines = run_test_mode(self.disk, BUILD)
        self.assertEqual(code, 0, lines)
        self.assertIn(f"[installer] via {FIRST} niet gelukt", lines)
        self.assertNotIn(f"[installer] via {SECOND} niet gelukt", lines)
        served = {name: (self.fits / "update" / name).read_bytes() for name in NAMES}
        self.assertEqual(self.files(), served)


if __name__ == "__main__":
    unittest.main()
