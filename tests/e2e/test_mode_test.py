"""Road 1, "--proef FOLDER": the real TolbexSetup.exe under Wine installs into
FOLDER\\Tolbex from the demo deployment's servers (nginx on https 39705 with the test CA
trusted in the prefix, and http 39706) serving a release made by `tolbex-publish
release`, and writes FOLDER\\installer.txt: four CR LF lines, one byte per character."""
import hashlib
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from harness import UNINSTALL_KEY, WINE_RUN, Build, reg_delete_key, reg_set, tree_digest, win_path
from releases import demo_files, make_release
from servers import Nginx, trust_test_ca
from test_mode import expected_report, run_test_mode

MARKER = b"Deze map is van Tolbex (gekozen in de installer). Bij verwijderen gaat de hele map weg.\r\n"
FIRST = "https://localhost:39705"
SECOND = "http://localhost:39706"


class TestModeRoad(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.build = Build()
        trust_test_ca(cls.build)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-test-mode-"))
        cls.files = demo_files(cls.work / "files", cls.build.fake_launcher.read_bytes())
        cls.site = make_release(cls.work / "site", cls.files, cls.build).parent

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="run-", dir=self.work))
        self.record = self.folder.parent / (self.folder.name + "-launcher.txt")

    def run_test_mode(self, folder, env=None, exe=None):
        """(exit code, log lines) of the test mode into folder (a Path, or the argument as
        given); it starts no launcher."""
        extra = {"TOLBEX_FAKE_LAUNCHER_RECORD": win_path(self.record)}
        extra.update(env or {})
        code, lines = run_test_mode(folder, self.build, env=extra, exe=exe)
        self.assertFalse(self.record.exists(), "the test mode started a launcher")
        return code, lines

    def assert_installed(self, install):
        expected = {name: hashlib.sha256(data).hexdigest() for name, data in self.files.items()}
        expected["tolbex_map.txt"] = hashlib.sha256(MARKER).hexdigest()
        self.assertEqual(tree_digest(install), expected)

    def assert_success_reported_and_installed(self, folder, shown=None):
        self.assertEqual((folder / "installer.txt").read_bytes(),
                         expected_report(shown or folder))
        self.assert_installed(folder / "Tolbex")

    # Each row: the folder below the run's own, the argument as given, the folder as the
    # report shows it (Windows text) and the environment. Every row installs there and
    # reports success byte for byte.
    ROWS = {
        "plain": ("", win_path, win_path, {}),
        "a trailing backslash gives no doubled separator": (
            "", lambda f: win_path(f) + "\\", win_path, {}),
        "a folder named Tolbex gets its own Tolbex subfolder": ("Tolbex", win_path, win_path, {}),
        "a quoted folder with spaces is one argument": (
            "Mijn Spellen/E T S 2", win_path, win_path, {}),
        "a character beyond Latin-1 is written as a question mark": (
            "Zoë €uro", win_path, lambda f: win_path(f).replace("€", "?"), {"LC_ALL": "C.UTF-8"}),
    }

    def test_installs_and_reports_success_byte_for_byte(self):
        with Nginx.demo(self.site, build=self.build):
            for row, (below, argument, shown, env) in self.ROWS.items():
                with self.subTest(row):
                    folder = Path(tempfile.mkdtemp(prefix="row-", dir=self.work)) / below
                    folder.mkdir(parents=True, exist_ok=True)
                    code, lines = self.run_test_mode(argument(folder), env=env)
                    self.assertEqual(code, 0, lines)
                    self.assert_success_reported_and_installed(folder, shown(folder))
                    self.assertEqual((folder / "Tolbex" / "tolbex_map.txt").read_bytes(), MARKER)
                    self.assertNotIn("[installer] via " + FIRST + " niet gelukt", lines)

    def test_refused_folder_is_not_installed_and_no_server_is_asked(self):
        foreign = self.folder / "Tolbex"
        foreign.mkdir()
        (foreign / "foto.jpg").write_bytes(b"not ours")
        before = tree_digest(foreign)
        with Nginx.demo(self.site, build=self.build) as servers:
            code, lines = self.run_test_mode(self.folder)
            access = servers.access_log()
        self.assertEqual(code, 1)
        self.assertEqual((self.folder / "installer.txt").read_bytes(),
                         expected_report(self.folder, "ja", "0", "0"))
        self.assertEqual(tree_digest(foreign), before)
        self.assertEqual(access, "")
        self.assertEqual(lines, [])

    def test_first_server_down_second_serves(self):
        with Nginx(self.site, http_port=39706, build=self.build):
            code, lines = self.run_test_mode(self.folder)
        self.assertEqual(code, 0, lines)
        self.assertEqual(lines.count("[installer] via " + FIRST + " niet gelukt"), 1, lines)
        self.assertNotIn("[installer] via " + SECOND + " niet gelukt", lines)
        self.assertEqual((self.folder / "installer.txt").read_bytes(),
                         expected_report(self.folder, "nee", "1", "1"))
        self.assert_installed(self.folder / "Tolbex")

    def test_both_servers_down_reports_failure(self):
        code, lines = self.run_test_mode(self.folder)
        self.assertEqual(code, 1)
        self.assertEqual([l for l in lines if l.startswith("[installer] via ")],
                         ["[installer] via " + FIRST + " niet gelukt",
                          "[installer] via " + SECOND + " niet gelukt"])
        # Validation passed, so the marker is there: eigen_map=1 although nothing arrived.
        self.assertEqual((self.folder / "installer.txt").read_bytes(),
                         expected_report(self.folder, "nee", "1", "0"))
        self.assertEqual(tree_digest(self.folder / "Tolbex"),
                         {"tolbex_map.txt": hashlib.sha256(MARKER).hexdigest()})

    # A failed first installation leaves the folder holding only its marker: the same
    # folder is the installer's own and is accepted again, and the report is rewritten.
    def test_a_failed_run_can_be_retried_in_the_same_folder(self):
        (self.folder / "installer.txt").write_bytes(b"x" * 500 + b"\r\ngelukt=1\r\n")
        code, _ = self.run_test_mode(self.folder)
        self.assertEqual(code, 1)
        with Nginx.demo(self.site, build=self.build):
            code, lines = self.run_test_mode(self.folder)
        self.assertEqual(code, 0, lines)
        self.assert_success_reported_and_installed(self.folder)

    # The report's place is taken by a folder: the installation succeeds, but without a
    # whole report the run counts as failed, and the log says why.
    def test_a_report_that_cannot_be_written_fails_the_run(self):
        (self.folder / "installer.txt").mkdir()
        with Nginx.demo(self.site, build=self.build):
            code, lines = self.run_test_mode(self.folder)
        self.assertEqual(code, 1, lines)
        self.assert_installed(self.folder / "Tolbex")
        report_path = win_path(self.folder / "installer.txt")
        self.assertIn(f"[installer] testrapport {report_path} niet geschreven (5)", lines)

    def hold(self, path, sharing):
        """A second process holding path open with the given sharing, until closed."""
        holder = subprocess.Popen(
            [str(WINE_RUN), str(self.build.path("tests/file_holder.exe")), win_path(path),
             sharing], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=self.build.env())
        self.assertEqual(holder.stdout.readline().strip(), b"held")
        self.addCleanup(lambda: (holder.stdin.close(), holder.wait(bound(30))))
        return holder

    # An update of an installation whose tolbex_core.dll another program holds: with no
    # sharing it can be neither replaced nor moved, so each server's update is undone and
    # the folder stays byte for byte; held as a loaded DLL is, it is moved aside.
    def test_updating_a_held_file(self):
        install = self.folder / "Tolbex"
        install.mkdir()
        for name in self.files:
            (install / name).write_bytes(b"old " + name.encode() * 8)
        before = tree_digest(install)
        core = install / "tolbex_core.dll"
        locked = self.hold(core, "none")
        with Nginx.demo(self.site, build=self.build):
            code, lines = self.run_test_mode(self.folder)
        locked.stdin.close()
        locked.wait(bound(30))
        self.assertEqual(code, 1, lines)
        self.assertEqual(tree_digest(install), before)
        self.assertEqual([line for line in lines if line.startswith("[installer] via ")],
                         ["[installer] via " + FIRST + " niet gelukt",
                          "[installer] via " + SECOND + " niet gelukt"])
        self.assertEqual(lines.count(f"Schrijven van {win_path(core)} mislukt (32)"), 2, lines)

        self.hold(core, "read-delete")
        with Nginx.demo(self.site, build=self.build):
            code, lines = self.run_test_mode(self.folder)
        self.assertEqual(code, 0, lines)
        self.assertIn("tolbex_core.dll was in gebruik (32): opzij gezet als tolbex_core.dll.oud",
                      lines)
        self.assertEqual((install / "tolbex_core.dll.oud").read_bytes(),
                         b"old " + b"tolbex_core.dll" * 8)
        for name, data in self.files.items():
            self.assertEqual((install / name).read_bytes(), data, name)

    # The running program's own file is known by its path, not its name: a copy of the
    # installer saved as tolbex_launcher.exe in a downloads folder installs the launcher
    # under its own name; only a copy that runs from the install folder itself gets the
    # release's launcher beside it as tolbex_launcher.exe.new.
    def test_a_copy_named_like_the_launcher(self):
        launcher = self.files["tolbex_launcher.exe"]
        downloads = self.folder / "Downloads"
        downloads.mkdir()
        copy = downloads / "tolbex_launcher.exe"
        shutil.copyfile(self.build.setup, copy)
        inside = self.folder / "elders"
        (inside / "Tolbex").mkdir(parents=True)
        running = inside / "Tolbex" / "tolbex_launcher.exe"
        shutil.copyfile(self.build.setup, running)
        with Nginx.demo(self.site, build=self.build):
            outside_code, _ = self.run_test_mode(self.folder, exe=copy)
            inside_code, _ = self.run_test_mode(inside, exe=running)
        self.assertEqual(outside_code, 0)
        self.assert_installed(self.folder / "Tolbex")
        self.assertEqual(inside_code, 0)
        self.assertEqual((inside / "Tolbex" / "tolbex_launcher.exe.new").read_bytes(), launcher)
        self.assertEqual(running.read_bytes(), self.build.setup.read_bytes())

    def test_runs_even_when_an_installation_exists(self):
        existing = self.folder / "bestaand"
        existing.mkdir()
        shutil.copy(self.build.fake_launcher, existing / "tolbex_launcher.exe")
        reg_set(UNINSTALL_KEY, "InstallLocation", win_path(existing), build=self.build)
        try:
            code, _ = self.run_test_mode(self.folder)
        finally:
            reg_delete_key(UNINSTALL_KEY, build=self.build)
        self.assertEqual(code, 1)
        self.assertEqual((self.folder / "installer.txt").read_bytes(),
                         expected_report(self.folder, "nee", "1", "0"))


if __name__ == "__main__":
    unittest.main()
