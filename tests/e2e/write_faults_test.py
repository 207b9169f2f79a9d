"""The write phase is all or nothing, whatever fails and wherever the process dies.

An update of an existing, older installation of the five files, with tolbex_core.dll
held open the way a loaded DLL is and an older tolbex_core.dll.oud beside it. The release
comes from the second deployment server (http 39706); the first is down, so a failed run
has no server left and the test mode reports it.

I/O fault sweep, in the manner of SQLite's I/O-error tests: for each write-phase call
(staged-file create, in-use probe, write, flush, rename, delete) and every N from 1 to the
number of such calls in a successful run, the N-th call fails. Afterwards the folder is
exactly the old installation or exactly the new one, the exit code and the report agree
with which, and no staged or backup file remains.

Kill sweep: the process dies at the N-th call of the stage instead. The old installation
is untouched, and a rerun completes with no leftovers.

write_fault_probe.exe runs the test mode's installation with these calls watched in its
own import table; see its header comment.
"""
import re
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from harness import Build, sha, tree_digest, wine_run, win_path
from releases import UPDATE_NAMES, WRITE_PHASE_FILE, make_release
from servers import Nginx
from test_mode import expected_report

BUILD = Build()
PROBE = BUILD.path("tests/write_fault_probe.exe")
HELD = "tolbex_core.dll"
OLDER_ASIDE = b"an aside file left by an update before the last one"
OPS = ["create", "probe", "write", "flush", "rename", "delete"]
STAGE_OPS = ["create", "write", "flush"]


def new_bytes(name):
    return (f"{name} of release 3.0.0\r\n".encode() + bytes(range(256)) * 8)


def old_bytes(name):
    return f"{name} of release 2.9.0, the one installed\r\n".encode() * 4


def summary(line):
    """Printed, and kept in the build folder for the test command to show after ctest."""
    print("\n" + line, file=sys.stderr)
    with open(BUILD.path("write-faults-summary.txt"), "a") as out:
        out.write(line + "\n")


class WriteFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        BUILD.path("write-faults-summary.txt").unlink(missing_ok=True)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-write-faults-"))
        make_release(cls.work / "site", {name: new_bytes(name) for name in UPDATE_NAMES}, BUILD)
        # The whole of both sweeps is served by this one server.
        cls.nginx = Nginx(cls.work / "site", http_port=39706, lifetime=bound(1800),
                          build=BUILD).__enter__()
        cls.folder = cls.work / "run"
        cls.install = cls.folder / "Tolbex"
        cls.old = cls.seed()
        cls.new = {name: sha(new_bytes(name)) for name in UPDATE_NAMES}
        cls.new[HELD + ".oud"] = sha(old_bytes(HELD))

    @classmethod
    def tearDownClass(cls):
        cls.nginx.__exit__(None, None, None)
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def seed(cls):
        """The old installation, afresh; returns its tree."""
        shutil.rmtree(cls.folder, ignore_errors=True)
        cls.install.mkdir(parents=True)
        for name in UPDATE_NAMES:
            (cls.install / name).write_bytes(old_bytes(name))
        (cls.install / (HELD + ".oud")).write_bytes(OLDER_ASIDE)
        return tree_digest(cls.install)

    def probe(self, fault=None):
        """(exit code, {op: calls}, injected) of one installation under the probe."""
        env = {"TOLBEX_HOLD": HELD}
        if fault:
            env["TOLBEX_FAULT"] = fault
        result = wine_run([PROBE, win_path(self.folder)], build=BUILD, env=env)
        out = result.stdout.decode("utf-8", "replace")
        found = re.search(r"calls (.*) injected=(\d+)", out)
        calls = dict(kv.split("=") for kv in found.group(1).split()) if found else {}
        return result.returncode, {k: int(v) for k, v in calls.items()}, \
            int(found.group(2)) if found else None

    def state(self, files):
        """"old", "new", or a description of a folder that is neither."""
        if files == self.old:
            return "old"
        # A file whose in-use probe was made to fail is moved aside like a running one:
        # the update is still whole, with that file's old contents under .oud.
        extra = {k: v for k, v in files.items() if k not in self.new}
        if all(files.get(k) == v for k, v in self.new.items()) and all(
                k.endswith(".oud") and v == sha(old_bytes(k[:-4])) for k, v in extra.items()):
            return "new"
        return f"neither old nor new: {files}"

    def assert_consistent(self, what, code):
        files = tree_digest(self.install)
        leftovers = [name for name in files if WRITE_PHASE_FILE.search(name)]
        self.assertEqual(leftovers, [], what)
        state = self.state(files)
        self.assertIn(state, ("old", "new"), what)
        code_wanted, gelukt = (0, "1") if state == "new" else (1, "0")
        self.assertEqual((code, (self.folder / "installer.txt").read_bytes()),
                         (code_wanted, expected_report(self.folder, eigen_map="0", gelukt=gelukt)),
                         what)
        return state

    def successful_run_calls(self):
        self.seed()
        code, calls, _ = self.probe()
        self.assertEqual(self.assert_consistent("no fault", code), "new")
        for op in OPS:
            self.assertGreater(calls.get(op, 0), 0, f"a successful run makes no {op} call")
        return calls

    def test_every_failing_call_leaves_old_or_new(self):
        calls = self.successful_run_calls()
        injected = 0
        outcomes = {"old": 0, "new": 0}
        for op in OPS:
            for n in range(1, calls[op] + 1):
                self.seed()
                code, _, hit = self.probe(f"{op}:{n}:fail")
                self.assertEqual(hit, 1, f"{op} {n}")
                injected += hit
                outcomes[self.assert_consistent(f"{op} call {n} failed", code)] += 1
        summary(f"I/O fault sweep: {injected} faults injected over {dict(calls)}; "
                f"{outcomes['old']} left the old installation, {outcomes['new']} the new one")
        # Every stage call and every commit rename that fails must undo the update.
        self.assertGreaterEqual(outcomes["old"],
                                calls["create"] + calls["write"] + calls["flush"])

    def test_a_kill_during_the_stage_leaves_the_old_installation_and_a_rerun_completes(self):
        calls = self.successful_run_calls()
        kills = 0
        for op in STAGE_OPS:
            for n in range(1, calls[op] + 1):
                what = f"killed at {op} call {n}"
                self.seed()
                code, _, _ = self.probe(f"{op}:{n}:kill")
                self.assertEqual(code, 77, what)
                kills += 1
                files = tree_digest(self.install)
                self.assertEqual({k: v for k, v in files.items() if not WRITE_PHASE_FILE.search(k)},
                                 self.old, what)
                code, _, _ = self.probe()
                self.assertEqual(self.assert_consistent(what + ", then run again", code), "new")
        summary(f"kill sweep: {kills} kills during the stage, each followed by a whole rerun")


if __name__ == "__main__":
    unittest.main()
