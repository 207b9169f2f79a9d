"""Slow servers end to end: the real TolbexSetup.exe in test mode against the demo
deployment's two ports, the first (https 39705) a hostile server that drips, the second
(http 39706) serving the release. A request fails once fewer than 1,024 body bytes
arrived in the last 30 seconds; the run then moves on as after any failed download. A
steady 4 KB/s is far above that floor and installs. Each case prints its seconds.
"""
import shutil
import tempfile
import time
import unittest
from pathlib import Path

from bounds import bound
from harness import Build
from releases import make_release
from servers import HostileServer, Nginx, drip, reply, trust_test_ca
from test_mode import timed_test_mode

BUILD = Build()
FIRST = "https://localhost:39705"
SECOND = "http://localhost:39706"
FLOOR_SECONDS = 30
# Counted from the slow request's arrival at the server, so the start of Wine, which a
# loaded machine may stretch, is not part of it: the floor's window and a few seconds.
BOUND_SECONDS = FLOOR_SECONDS + 15
# Longer than any run: the dripped file alone would take some 8 minutes.
LIFETIME = bound(240)


def seconds_until(lines, wanted):
    return next((at for at, text in lines if text == wanted), None)


def seconds_after_request(server, path, started, lines, wanted):
    """Seconds from the server's receipt of GET path to the log line wanted; started is
    time.monotonic() just before the run, which the lines' seconds count from."""
    arrived = next(r.at for r in server.requests if r.line.split()[1] == path)
    return started + seconds_until(lines, wanted) - arrived


class SlowServers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        trust_test_ca(BUILD)
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-slow-"))
        cls.files = {"tolbex_launcher.exe": BUILD.fake_launcher.read_bytes(),
                     "tolbex.ini": b"[Tolbex]\r\n" + b"; langzaam\r\n" * 40,
                     "tolbex_core.dll": bytes(range(256)) * 800}  # 200 KB
        cls.update = make_release(cls.work / "site", cls.files)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def routes(self, **faults):
        """The release as the hostile server serves it, with the given files dripped."""
        return {f"/update/{path.name}": faults.get(path.name) or reply(200, path.read_bytes())
                for path in self.update.iterdir()}

    def run_and_check_installed(self):
        folder = Path(tempfile.mkdtemp(prefix="run-", dir=self.work))
        code, lines = timed_test_mode(folder, BUILD, seconds=180)
        texts = [text for _, text in lines]
        self.assertEqual(code, 0, texts)
        self.assertIn(b"gelukt=1", (folder / "installer.txt").read_bytes())
        for name, data in self.files.items():
            self.assertEqual((folder / "Tolbex" / name).read_bytes(), data, name)
        self.assertIn(f"[installer] via {FIRST} niet gelukt", texts)
        return lines

    def test_a_file_dripped_at_one_byte_a_second_fails_and_the_second_server_installs(self):
        first = self.routes(**{"tolbex.ini": drip(self.files["tolbex.ini"], rate=1)})
        with HostileServer(first, port=39705, tls="localhost", lifetime=LIFETIME,
                           build=BUILD) as server, \
                Nginx(self.work / "site", http_port=39706, lifetime=LIFETIME, build=BUILD):
            started = time.monotonic()
            lines = self.run_and_check_installed()
        failed = seconds_after_request(server, "/update/tolbex.ini", started, lines,
                                       "Downloaden van tolbex.ini mislukt")
        print(f"\ndripped file failed {failed:.1f} s after its request; "
              f"run ended at {lines[-1][0]:.1f} s")
        self.assertLess(failed, BOUND_SECONDS)

    def test_a_dripped_manifest_fails_and_a_steady_4_kb_s_installs(self):
        first = self.routes(**{"manifest.json": drip((self.update / "manifest.json").read_bytes(),
                                                     rate=1)})
        steady = drip(self.files["tolbex_core.dll"], rate=4096, every=0.25)
        second = self.routes(**{"tolbex_core.dll": steady})
        with HostileServer(first, port=39705, tls="localhost", lifetime=LIFETIME,
                           build=BUILD) as server, \
                HostileServer(second, port=39706, lifetime=LIFETIME, build=BUILD):
            started = time.monotonic()
            lines = self.run_and_check_installed()
        failed = seconds_after_request(server, "/update/manifest.json", started, lines,
                                       f"Geen updateserver bereikbaar ({FIRST})")
        took = lines[-1][0] - seconds_until(lines, f"Geen updateserver bereikbaar ({FIRST})")
        print(f"\ndripped manifest failed {failed:.1f} s after its request; "
              f"200 KB at 4 KB/s from the second server took {took:.1f} s")
        self.assertLess(failed, BOUND_SECONDS)


if __name__ == "__main__":
    unittest.main()
