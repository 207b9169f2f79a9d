"""`tolbex-publish check URL` against live servers on loopback: nginx with the shipped
configuration over https (the test CA) and http, the hostile server for every way a
server can fail a player, and two servers that serve different releases."""
import hashlib
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import urllib.request
from pathlib import Path

from bounds import bound
from harness import free_port
from releases import DEMO_BLOB_1, DEMO_KEY_2, demo_files, publish_release, publish_tool
from servers import HostileServer, Nginx, TestPki, drip, endless, reply, stall, truncated

LAUNCHER = b"MZ demo launcher " * 8
# Seconds: any case that runs longer hangs; the drip needs its 30 s.
BOUND = bound(90)
SILENT_BOUND = 15 + 5  # the receive time-out after the last byte, and at most 5 s more


def check(tool, *sources, ca=None):
    args = [str(tool), "check", *sources, "--key", DEMO_BLOB_1]
    if ca:
        args += ["--ca-file", str(ca)]
    return subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def finish(proc):
    out, err = proc.communicate(timeout=BOUND)
    return proc.returncode, out.splitlines(), err


class ServerCheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tool = publish_tool()
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-server-check-"))
        cls.files = demo_files(cls.work / "in", LAUNCHER)
        inputs = sorted((cls.work / "in").iterdir())
        for name, version in (("r300", "3.0.0"), ("r301", "3.0.1")):
            made = publish_release(cls.tool, cls.work / "site" / name, inputs, version=version)
            assert made.returncode == 0, made.stderr
        cls.update = cls.work / "site" / "r300" / "update"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_passes_both_servers_of_one_release_served_by_the_shipped_nginx(self):
        pki = TestPki()
        with Nginx(self.work / "site" / "r300", http_port=0, https_port=0) as web:
            code, lines, err = finish(check(self.tool, web.https_url, web.http_url + "/", ca=pki.ca_pem))
            self.assertEqual(code, 0, "\n".join(lines) + err)
            for base in (web.https_url, web.http_url):
                self.assertIn(f"ok       {base}/update/manifest.sig: ok (key 1)", lines)
                for name, data in self.files.items():
                    self.assertIn(f"ok       {base}/update/{name} ({len(data)} bytes)", lines)
                self.assertIn(f"PASSED   {base}: the installer would install version 3.0.0", lines)
            self.assertEqual(lines[-1], f"same     {web.https_url} and {web.http_url} serve the same "
                                        "release: version 3.0.0, the same manifest.json")
            # The installer's agent, on every request of both servers.
            log = web.access_log().splitlines()
            self.assertEqual(len(log), 2 * (2 + len(self.files)))
            self.assertTrue(all(line.endswith('"Tolbex"') for line in log), log)

            # The shipped headers: caches revalidate everything under update/, also a 404.
            with urllib.request.urlopen(web.http_url + "/update/manifest.json") as manifest:
                pass
            self.assertEqual(manifest.headers["Cache-Control"], "no-cache, no-transform")
            self.assertEqual(manifest.headers["Content-Type"], "application/json")
            again = urllib.request.Request(web.http_url + "/update/manifest.json",
                                           headers={"If-None-Match": manifest.headers["ETag"]})
            with self.assertRaises(urllib.error.HTTPError) as revalidated:
                urllib.request.urlopen(again)
            revalidated.exception.close()
            self.assertEqual(revalidated.exception.code, 304)
            for path, status, cache in [("/update/missing.dll", 404, "no-cache, no-transform"),
                                        ("/update/", 403, "no-cache, no-transform"),
                                        ("/tolbex.ini", 404, None)]:
                with self.subTest(path), self.assertRaises(urllib.error.HTTPError) as refused:
                    urllib.request.urlopen(web.http_url + path)
                refused.exception.close()
                self.assertEqual((refused.exception.code, refused.exception.headers["Cache-Control"]),
                                 (status, cache))

    def test_two_servers_with_different_releases_fail_with_both_versions(self):
        with Nginx(self.work / "site", http_port=0) as web:
            a, b = web.http_url + "/r300", web.http_url + "/r301"
            code, lines, err = finish(check(self.tool, a, b))
        self.assertEqual(code, 1, err)
        self.assertIn(f"PASSED   {a}: the installer would install version 3.0.0", lines)
        self.assertIn(f"PASSED   {b}: the installer would install version 3.0.1", lines)
        self.assertEqual(lines[-1], f"DIFFERS  {a} serves version 3.0.0, {b} serves version 3.0.1 "
                                    "(the manifests differ)")

    def hostile_routes(self, prefix, **changed):
        """The release r300 under prefix, with the named files' behaviours replaced."""
        routes = {f"{prefix}/update/{p.name}": reply(200, p.read_bytes()) for p in self.update.iterdir()}
        routes.update({f"{prefix}/update/{name}": b for name, b in changed.items()})
        return routes

    def test_each_failure_of_a_server_names_it_the_file_and_what_was_found(self):
        manifest = (self.update / "manifest.json").read_bytes()
        ini = self.files["tolbex.ini"]
        other_key = self.work / "other"
        other_key.mkdir()
        shutil.copyfile(self.update / "manifest.json", other_key / "manifest.json")
        subprocess.run([str(self.tool), "sign", DEMO_KEY_2, other_key / "manifest.json"], check=True)
        sig_by_key_2 = (other_key / "manifest.json.sig").read_bytes()
        wrong = bytes([ini[0] ^ 1]) + ini[1:]
        cases = [
            ("status 203 manifest", {"manifest.json": reply(203, manifest)},
             "manifest.json", r"status 203, expected 200"),
            ("missing signature", {"manifest.sig": reply(404, b"gone")}, "manifest.sig",
             r"status 404, expected 200; the installer takes that as no signature"),
            ("signature by an unknown key", {"manifest.sig": reply(200, sig_by_key_2)},
             "manifest.sig", r"does not verify under the given keys"),
            ("wrong hash", {"tolbex.ini": reply(200, wrong)}, "tolbex.ini",
             r"sha256 differs from the manifest: expected {}, found {}".format(
                 hashlib.sha256(ini).hexdigest(),
                 hashlib.sha256(wrong).hexdigest())),
            ("file cut short", {"tolbex.ini": truncated(ini[:50], len(ini))}, "tolbex.ini",
             r"cut short after 50 bytes: .*"),
            ("endless body", {"tolbex_core.dll": endless()}, "tolbex_core.dll",
             r"more than 268435456 bytes arrived, over the cap; stopped there"),
            ("drip below the floor", {"tolbex_launcher.exe": drip(b"d" * 4096, 20)},
             "tolbex_launcher.exe",
             r"\d+ bytes arrived in the last 30 s, expected at least 1024 \(the installer's floor\)"),
        ]
        routes = {}
        for i, (_, changed, _, _) in enumerate(cases):
            routes.update(self.hostile_routes(f"/c{i}", **changed))
        with HostileServer(routes, lifetime=BOUND + 30) as server:
            bases = [server.url(f"/c{i}") for i in range(len(cases))]
            refused = f"http://localhost:{free_port()}"
            cases.append(("refused connection", {}, "manifest.json", r"cannot be reached: .*"))
            bases.append(refused)
            running = [check(self.tool, base) for base in bases]  # side by side: the drip takes 30 s
            for (what, _, name, found), base, proc in zip(cases, bases, running):
                with self.subTest(what):
                    code, lines, err = finish(proc)
                    self.assertEqual(code, 1, err)
                    refusals = [line for line in lines if line.startswith("REFUSED")]
                    self.assertRegex(refusals[0], "^REFUSED  " + re.escape(f"{base}/update/{name}: ")
                                     + found + "$")
                    self.assertEqual(lines[-1], f"FAILED   {base}: the installer would refuse it")

    def test_a_server_silent_at_any_stage_is_given_up_naming_the_url(self):
        cases, routes = [], {}
        for name in ("manifest.json", "manifest.sig", "tolbex_core.dll"):
            body = (self.update / name).read_bytes()
            for stage in stall.STAGES:
                prefix = f"/{stage}-{name}"
                routes.update(self.hostile_routes(prefix, **{name: stall(stage, body)}))
                cases.append((name, stage, prefix))
        with HostileServer(routes, lifetime=BOUND + 30) as server:
            start = time.monotonic()
            running = [check(self.tool, server.url(prefix)) for _, _, prefix in cases]  # side by side
            print()
            for (name, stage, prefix), proc in zip(cases, running):
                with self.subTest(f"{name} silent after {stage}"):
                    code, lines, err = finish(proc)
                    took = time.monotonic() - start
                    print(f"check: {name} silent after {stage}: done by {took:.1f} s")
                    self.assertEqual(code, 1, err)
                    refusals = [line for line in lines if line.startswith("REFUSED")]
                    as_none = "; the installer takes that as no signature" if name == "manifest.sig" else ""
                    self.assertEqual(refusals[0], f"REFUSED  {server.url(prefix)}/update/{name}: "
                                     "nothing arrived for 15 s, expected data within the "
                                     "installer's receive time-out" + as_none)
                    self.assertLess(took, SILENT_BOUND + 5)  # and the tool's own start


if __name__ == "__main__":
    unittest.main()
