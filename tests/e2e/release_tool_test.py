"""tolbex-publish release and check on the host: a release checks out, each refusal of
`release` leaves nothing behind, and `check` finds what was changed after signing."""
import hashlib
import json
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from releases import DEMO_BLOB_1, DEMO_BLOB_2, demo_files, publish_release, publish_tool

LAUNCHER = b"MZ demo launcher " * 8


def check(tool, release, *extra, keys=(DEMO_BLOB_1,)):
    args = [str(tool), "check", str(release)] + [a for k in keys for a in ("--key", k)]
    return subprocess.run(args + list(extra), capture_output=True, text=True,
                          timeout=bound(60))


class ReleaseTool(unittest.TestCase):
    def setUp(self):
        self.tool = publish_tool()
        self.work = Path(tempfile.mkdtemp(prefix="tolbex-release-tool-"))
        self.files = demo_files(self.work / "in", LAUNCHER)
        self.paths = sorted((self.work / "in").iterdir())
        self.out = self.work / "out"

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def release(self, paths=None, **kwargs):
        return publish_release(self.tool, self.out, self.paths if paths is None else paths, **kwargs)

    def test_release_then_check_round_trip(self):
        made = self.release()
        self.assertEqual(made.returncode, 0, made.stderr)
        update = self.out / "update"
        self.assertEqual(sorted(p.name for p in self.out.iterdir()), ["update"])
        self.assertEqual(sorted(p.name for p in update.iterdir()),
                         sorted(["manifest.json", "manifest.sig"] + list(self.files)))
        manifest = json.loads((update / "manifest.json").read_bytes())
        self.assertEqual(manifest["version"], 300)
        self.assertEqual(manifest["files"], sorted(self.files))
        for name, data in self.files.items():
            self.assertEqual((update / name).read_bytes(), data)
            self.assertEqual(manifest["sha256"][name], hashlib.sha256(data).hexdigest())
        self.assertRegex((update / "manifest.sig").read_text(), r"^[0-9a-f]{128}\n$")

        checked = check(self.tool, self.out)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        lines = checked.stdout.splitlines()
        self.assertIn("ok       manifest.sig: ok (key 1)", lines)
        self.assertIn("ok       version 3.0.0 (300)", lines)
        for name, data in self.files.items():
            self.assertIn(f"ok       {name} ({len(data)} bytes)", lines)
        # A signature by key 1 is refused when only key 2 is trusted; accepted after it.
        self.assertEqual(check(self.tool, self.out, keys=(DEMO_BLOB_2,)).returncode, 1)
        self.assertEqual(check(self.tool, self.out, keys=(DEMO_BLOB_2, DEMO_BLOB_1)).returncode, 0)

    def test_check_finds_changes_made_after_signing(self):
        self.assertEqual(self.release().returncode, 0)
        update = self.out / "update"
        cases = [
            ("tolbex.ini", lambda: (update / "tolbex.ini").write_bytes(b"x" * 100),
             "REFUSED  tolbex.ini: sha256 differs from the manifest: expected "
             + hashlib.sha256(self.files["tolbex.ini"]).hexdigest() + ", found "
             + hashlib.sha256(b"x" * 100).hexdigest()),
            ("tolbex_core.dll", lambda: (update / "tolbex_core.dll").unlink(),
             "REFUSED  tolbex_core.dll: missing from the release folder"),
            ("manifest.json", lambda: (update / "manifest.json").write_bytes(
                (update / "manifest.json").read_bytes().replace(b"\n", b"\r\n")),
             "REFUSED  manifest.sig: does not verify under the given keys"),
            ("manifest.sig", lambda: (update / "manifest.sig").write_text("ab" * 64 + "\n" + " " * 200),
             "REFUSED  manifest.sig: not 1 to 256 bytes (329)"),
        ]
        pristine = self.work / "pristine"
        shutil.copytree(self.out, pristine)
        for what, tamper, verdict in cases:
            with self.subTest(what):
                shutil.rmtree(self.out)
                shutil.copytree(pristine, self.out)
                tamper()
                checked = check(self.tool, self.out)
                self.assertEqual(checked.returncode, 1)
                self.assertIn(verdict, checked.stdout.splitlines())

    def test_refusals_leave_no_output(self):
        inp = self.work / "in"
        (inp / "tolbex_extra.dll").write_bytes(b"e" * 100)
        (inp / "x63").mkdir()
        (inp / "x63" / "Vonkel.dll").write_bytes(b"v" * 63)
        (inp / "dup").mkdir()
        (inp / "dup" / "TOLBEX.INI").write_bytes(b"d" * 100)
        (inp / "big").mkdir()
        with open(inp / "big" / "tolbex_telemetry.dll", "wb") as big:
            big.truncate(268435456 + 1)  # sparse: 256 MiB and a byte on paper only
        cases = [
            ("unknown name", dict(paths=self.paths + [inp / "tolbex_extra.dll"]),
             "'tolbex_extra.dll' is not a file name the installer accepts"),
            ("name twice", dict(paths=self.paths + [inp / "dup" / "TOLBEX.INI"]),
             "'TOLBEX.INI' is given twice"),
            ("63 bytes", dict(paths=self.paths + [inp / "x63" / "Vonkel.dll"]), "under 64 bytes"),
            ("256 MiB and a byte", dict(paths=self.paths + [inp / "big" / "tolbex_telemetry.dll"]),
             "is over 256 MiB"),
            ("no launcher", dict(paths=[p for p in self.paths if p.name != "tolbex_launcher.exe"]),
             "no tolbex_launcher.exe among the files"),
        ]
        cases += [(f"version {v}", dict(version=v), "has no installer number")
                  for v in ("3.10.0", "0.9.9", "03.0.0", "3.0", "3.0.0.0", "21474836.4.8", "x.0.0")]
        for what, kwargs, message in cases:
            with self.subTest(what):
                made = self.release(**kwargs)
                self.assertEqual(made.returncode, 1)
                self.assertIn(message, made.stderr)
                self.assertFalse(self.out.exists(), "output left behind")

    def test_accepted_edges(self):
        inp = self.work / "in"
        (inp / "x64").mkdir()
        (inp / "x64" / "Vonkel.dll").write_bytes(b"v" * 64)
        (inp / "cap").mkdir()
        with open(inp / "cap" / "tolbex_telemetry.dll", "wb") as cap:
            cap.truncate(268435456)  # sparse: exactly 256 MiB, the largest file allowed
        no_launcher = [p for p in self.paths if p.name != "tolbex_launcher.exe"]
        cases = [
            ("64 bytes", dict(paths=self.paths + [inp / "x64" / "Vonkel.dll"]), ()),
            ("exactly 256 MiB", dict(paths=self.paths + [inp / "cap" / "tolbex_telemetry.dll"]), ()),
            ("largest version", dict(version="21474836.4.7"), ()),
            ("without launcher", dict(paths=no_launcher, extra=["--without-launcher"]),
             ("--without-launcher",)),
        ]
        for what, kwargs, check_extra in cases:
            with self.subTest(what):
                shutil.rmtree(self.out, ignore_errors=True)
                made = self.release(**kwargs)
                self.assertEqual(made.returncode, 0, made.stderr)
                self.assertEqual(check(self.tool, self.out, *check_extra).returncode, 0)
        self.assertEqual(check(self.tool, self.out).returncode, 1)  # the launcher is missing

    def test_an_existing_release_stays_untouched(self):
        self.assertEqual(self.release().returncode, 0)
        before = {p: p.read_bytes() for p in self.out.rglob("*") if p.is_file()}
        again = self.release(version="3.0.1")
        self.assertEqual(again.returncode, 1)
        self.assertIn("exists already", again.stderr)
        self.assertEqual({p: p.read_bytes() for p in self.out.rglob("*") if p.is_file()}, before)


if __name__ == "__main__":
    unittest.main()
