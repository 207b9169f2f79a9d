"""`tolbex-publish check` says yes exactly where the installer installs: each release
folder of the update-engine tests (the refusal cases, a name listed twice among them, and
the accepted edges) is checked
with the demo keys and served on the demo ports to TolbexSetup.exe --proef.

Both sides call the same rules: the manifest scanners, the allowed names and the launcher
(common/update_files.h, common/install_names.h), the file sizes (common/file_sizes.h) and
the signature text (crypto/signature_text.h). So this test confirms that check applies
them as the installer does (order, the launcher rule, what a folder stands in for),
rather than catching two copies of a rule drifting apart."""
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from engine_releases import HOSTILE_FAULTS, make_releases
from harness import Build
from releases import DEMO_BLOB_1, DEMO_BLOB_2, publish_tool
from servers import Nginx, trust_test_ca
from test_mode import run_test_mode


class CheckAgreesWithInstaller(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.build = Build()
        trust_test_ca(cls.build)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-agree-"))
        cls.root = make_releases(cls.work / "releases", cls.build)
        cls.tool = publish_tool(cls.build)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def check(self, release):
        return subprocess.run([str(self.tool), "check", str(release), "--key", DEMO_BLOB_1,
                               "--key", DEMO_BLOB_2], capture_output=True, text=True,
                              timeout=bound(60))

    def installs(self, release, name):
        target = self.work / "install" / name
        target.mkdir(parents=True)
        with Nginx.demo(release, build=self.build):
            run_test_mode(target, self.build)
        return (target / "installer.txt").read_bytes().endswith(b"gelukt=1\r\n")

    def test_check_passes_exactly_the_releases_the_installer_installs(self):
        # The hostile server's faults are in the serving, not in the folders.
        names = sorted(n for n in (p.name for p in self.root.iterdir()) if n not in HOSTILE_FAULTS)
        verdicts = {}
        for name in names:
            checked = self.check(self.root / name)
            self.assertIn(checked.returncode, (0, 1), checked.stderr)
            verdicts[name] = (checked.returncode == 0, self.installs(self.root / name, name))
        disagreements = {n: v for n, v in verdicts.items() if v[0] != v[1]}
        self.assertEqual(disagreements, {}, "(check passed, installer installed)")
        # Both answers occur, so the comparison means something.
        self.assertIn((True, True), verdicts.values())
        self.assertIn((False, False), verdicts.values())


if __name__ == "__main__":
    unittest.main()
