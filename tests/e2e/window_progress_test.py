"""The busy window's progress bar end to end under Xvfb: servers that drip a release
slowly, the bar read through the window inspector (PBM_GETRANGE, PBM_GETPOS) while the
files arrive. It runs as a marquee until the manifest is accepted, then only moves
forward and is near the end before the window closes; a first server that fails halfway
makes it start again for the second. Progress posts by another program (a wrong token,
or while the window is still choosing) move nothing, and the Choosing state keeps
exactly its four controls."""
import os
import time
import unittest

from bounds import bound, deadline
from releases import make_release
from servers import HostileServer, delay, drip, reply, trust_test_ca, truncated
from window_support import PROMPT, WindowCase, inspect, visible, wait_until, win_install_dir

BAR_CLASS = "msctls_progress32"
PBS_MARQUEE = 0x08
FULL = 1000
# How long each file of the release takes to drip.
DRIP_SECONDS = 5


def bar_of(view):
    bars = [c for c in view["children"] if c["class"] == BAR_CLASS] if view else []
    return bars[0] if bars else None


def progress_wparam(share, count):
    return str(count << 16 | share)


class ProgressBar(WindowCase):
    def setUp(self):
        super().setUp()
        self.release = make_release(self.work / "site", {
            "tolbex_launcher.exe": self.build.fake_launcher.read_bytes(),
            "tolbex_core.dll": os.urandom(300 * 1024),
            "tolbex.ini": b"[Tolbex]\r\nserver=progress.tolbex.invalid\r\n" + b";" * 64 + b"\r\n"})

    def routes(self, manifest_delay=0, cut=None):
        """The release served: every file dripped over DRIP_SECONDS; cut names a file
        that stops halfway (its length announced, half of it sent, the connection shut)."""
        routes = {}
        for path in self.release.iterdir():
            body = path.read_bytes()
            if path.name.startswith("manifest."):
                routes[f"/update/{path.name}"] = reply(200, body)
            elif path.name == cut:
                routes[f"/update/{path.name}"] = truncated(body[:len(body) // 2], len(body))
            else:
                routes[f"/update/{path.name}"] = drip(body, max(1, len(body) // DRIP_SECONDS), 0.5)
        if manifest_delay:
            routes["/update/manifest.json"] = delay(manifest_delay, routes["/update/manifest.json"])
        return routes

    def press_install(self):
        """Enter on the shown window; its view once the bar is there."""
        self.run_.keys("Return")
        busy = wait_until(lambda: (lambda v: v if bar_of(v) else None)(
            inspect("window", self.screen, self.build)), 15)
        self.assertIsNotNone(busy, "the window did not turn busy with a bar")
        return busy

    def sample_until_gone(self, seconds=120):
        """The bar's (pos, marquee) each time the inspector finds it, until the window is gone."""
        samples = []
        end = deadline(seconds)
        while time.monotonic() < end:
            bar = bar_of(inspect("window", self.screen, self.build))
            if bar is None:
                break
            # "?": the window thread did not answer in time (busy closing the window, under
            # load); that tells nothing of the bar.
            if bar["pos"] != "?":
                samples.append((int(bar["pos"]), bool(int(bar["style"], 16) & PBS_MARQUEE)))
        return samples

    def assert_installed(self):
        self.assertEqual(self.run_.wait_exit(120), 0)
        self.assertIn("[installer] klaar in " + win_install_dir(self.build), self.run_.log_lines())
        self.assertTrue(wait_until(self.record.exists, 30), "the launcher never started")

    def test_bar_runs_as_marquee_then_only_forward_and_nearly_full_before_the_window_closes(self):
        # Server 1 (https 39705) is down; server 2 drips the release after a pause.
        with HostileServer(self.routes(manifest_delay=8), port=39706, lifetime=bound(180)):
            choosing = self.start()
            # Posts while choosing, with any token, create and change nothing.
            self.post_done((progress_wparam(500, 1), "0"), (progress_wparam(500, 1), "1"),
                           command="progress")
            for view in (choosing, inspect("window", self.screen, self.build)):
                self.assert_choosing_controls(view)
                self.assertEqual(visible(view), ["1", "1", "1", "1"])
            self.assertEqual(choosing["children"][0]["text"], PROMPT)

            busy = self.press_install()
            self.assertEqual(visible(busy)[:4], ["1", "1", "0", "0"])
            bar = bar_of(busy)
            self.assertEqual((bar["rect"], bar["range"], bar["pos"], bar["visible"]),
                             ("15 104 450 24", f"0 {FULL}", "0", "1"))
            self.assertTrue(int(bar["style"], 16) & PBS_MARQUEE, "no marquee before the manifest")

            # The manifest is still on its way: a post with a wrong token moves nothing.
            self.post_done((progress_wparam(700, 1), "0"), (progress_wparam(700, 1), "1"),
                           command="progress")
            still = bar_of(inspect("window", self.screen, self.build))
            self.assertEqual((still["pos"], still["style"]), (bar["pos"], bar["style"]))

            samples = self.sample_until_gone()
            self.assert_installed()
        counted = [pos for pos, marquee in samples if not marquee]
        self.assertTrue(counted, samples)
        self.assertEqual(counted, sorted(counted), f"the bar went back: {samples}")
        self.assertGreaterEqual(len({p for p in counted if 0 < p < FULL}), 3, samples)
        self.assertGreaterEqual(counted[-1], 900, f"not near the end before closing: {samples}")

    def test_a_first_server_failing_halfway_starts_the_bar_again_for_the_second(self):
        trust_test_ca(self.build)
        first = HostileServer(self.routes(cut="tolbex_core.dll"), port=39705, tls="localhost",
                              lifetime=bound(180), build=self.build)
        second = HostileServer(self.routes(manifest_delay=3), port=39706, lifetime=bound(180))
        with first, second:
            self.start()
            self.press_install()
            samples = self.sample_until_gone()
            self.assert_installed()
        self.assertIn("[installer] via https://localhost:39705 niet gelukt", self.run_.log_lines())
        counted = [pos for pos, marquee in samples if not marquee]
        # The launcher's part (a third) fills on the first server; then one drop to a
        # new count, which only moves forward, to near the end.
        drop = next((i for i in range(1, len(counted)) if counted[i] < counted[i - 1]), None)
        self.assertIsNotNone(drop, f"the bar did not start again: {samples}")
        first_run, rest = counted[:drop], counted[drop:]
        self.assertGreaterEqual(max(first_run), 250, f"no first count seen: {samples}")
        self.assertEqual(rest, sorted(rest), f"the second count went back: {samples}")
        self.assertGreaterEqual(rest[-1], 900, f"not near the end before closing: {samples}")

if __name__ == "__main__":
    unittest.main()
