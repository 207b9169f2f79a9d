"""Every wait on a server ends, and every failed fetch says why: the real TolbexSetup.exe
in test mode under Wine, the demo deployment's first port (https 39705) a hostile server,
the second (http 39706) nginx serving a good release.

The demo ports are fixed, so each case runs in a network namespace of its own with its
own Wine (the build's prefix under a throw-away overlay, so a wineserver of its own too),
several at once: the silent cases wait some 17 s each, side by side.

- A server that goes silent at each stage (after accepting, after the status line, after
  the headers, halfway through the body), for the manifest, the signature and a file:
  the fetch gives up within its bound, the second server installs, and the seconds are
  printed.
- The cause line before each failure's own line, exactly: a refused connection, a
  connection that never stands (a full accept queue), a 404, a 203, a certificate the
  test CA did not sign, a time-out (the silent cases), a body cut short, a body over the
  cap.
- A server that closes a kept-alive connection a second after a slowly sent file without
  saying so: the next file still downloads, and the release installs from it.
"""
import concurrent.futures
import hashlib
import json
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

from bounds import WINE_START_MARGIN_S, bound, deadline
from harness import Build
from releases import make_release
from servers import HostileServer, Nginx, TestPki, idle_close, reply, stall, trust_test_ca, truncated
from test_mode import timed_test_mode

BUILD = Build()
FIRST = "https://localhost:39705"
SECOND = "http://localhost:39706"
CAP = 268435456
# After the last byte: the 15 s receive time-out plus at most 5 s; Wine's start and the
# second server's install come on top of the moment of the failure line.
SILENT_BOUND = 15 + 5
SIDE_BY_SIDE = 4
# Longer than any run, twice over: the installer must not wait for it.
SERVER_LIFETIME = 2 * bound(100)

ISOLATE = r"""
set -e
ip link set lo up
mkdir -p "$2/upper" "$2/work" "$2/prefix"
mount -t overlay overlay -o "lowerdir=$1,upperdir=$2/upper,workdir=$2/work" "$2/prefix"
export WINEPREFIX="$2/prefix"
shift 2
"$@"
wineserver -k 2>/dev/null || true
"""

FILES = {"tolbex_launcher.exe": None,  # the fake launcher, read at set-up
         "tolbex.ini": b"[Tolbex]\r\n" + b"; stil\r\n" * 20,
         "tolbex_core.dll": bytes(range(256)) * 40,
         "tolbex_telemetry.dll": bytes(range(255, -1, -1)) * 40}
TARGETS = {"manifest": "manifest.json", "signature": "manifest.sig", "file": "tolbex_core.dll"}


def first_routes(update, case):
    """The first server's routes for a named case: the release with one path changed."""
    routes = {f"/update/{p.name}": reply(200, p.read_bytes()) for p in update.iterdir()}
    kind, _, detail = case.partition(":")
    if kind == "silent":
        target, stage = detail.split("/")
        path = f"/update/{TARGETS[target]}"
        routes[path] = stall(stage, routes[path].body)
    elif kind == "status":
        target, status = detail.split("/")
        routes[f"/update/{TARGETS[target]}"] = reply(int(status), b"nee")
    elif kind == "cut":
        routes["/update/tolbex_core.dll"] = truncated(FILES["tolbex_core.dll"][:100], 10240)
    elif kind == "cap":
        routes["/update/tolbex_core.dll"] = truncated(b"x" * 100, CAP + 1)
    elif kind == "idle":
        # Slowly (about 2 s), then the connection dies a second later, unannounced.
        routes["/update/tolbex_core.dll"] = idle_close(FILES["tolbex_core.dll"], rate=5120)
    return routes


def run_case(work, case):
    """Inside the case's own namespace: the servers, one timed run; JSON on stdout."""
    update = work / "site" / "update"
    folder = Path(tempfile.mkdtemp(prefix="run-", dir=work))
    tls = "untrusted" if case == "untrusted" else "localhost"
    with Nginx(work / "site", http_port=39706, lifetime=SERVER_LIFETIME, build=BUILD):
        ended = 0
        if case == "refused":
            code, lines = timed_test_mode(folder, BUILD, seconds=180)
            peers = []
        elif case == "blackhole":
            # A full accept queue: the kernel drops the installer's SYNs, so the
            # connection never stands.
            with socket.socket() as listener, socket.socket() as queued:
                listener.bind(("127.0.0.1", 39705))
                listener.listen(0)
                queued.connect(("127.0.0.1", 39705))
                code, lines = timed_test_mode(folder, BUILD, seconds=180)
            peers = []
        else:
            with HostileServer(first_routes(update, case), port=39705, tls=tls,
                               lifetime=SERVER_LIFETIME, build=BUILD) as first:
                started = time.monotonic()
                code, lines = timed_test_mode(folder, BUILD, seconds=180)
                # The process has ended, with the silent server still open.
                ended = time.monotonic() - started
                peers = [list(r.peer) for r in first.requests]
    report = folder / "installer.txt"
    installed = {name: (folder / "Tolbex" / name).read_bytes().hex()
                 for name in FILES if (folder / "Tolbex" / name).exists()}
    print(json.dumps({"code": code, "lines": lines, "peers": peers, "installed": installed,
                      "ended": ended,
                      "report": report.read_text("latin-1") if report.exists() else ""}))


def wait_for_saved_ca(seconds=60):
    """The overlays copy the prefix as it is on disk: wait until the wineserver has saved
    the test CA's ROOT entry (it saves the registry every 30 s and at its exit)."""
    thumbprint = hashlib.sha1(TestPki(BUILD).ca_der.read_bytes()).hexdigest().upper()
    end = deadline(seconds)
    while thumbprint not in (BUILD.prefix / "user.reg").read_text("utf-8", "replace"):
        if time.monotonic() > end:
            raise RuntimeError("the test CA is not in the prefix's saved registry")
        time.sleep(1)


def run_isolated(work, cases):
    """{case: result} of each case in its own namespace and Wine, SIDE_BY_SIDE at once."""
    def one(case):
        scratch = Path(tempfile.mkdtemp(prefix="ns-", dir=work))
        try:
            done = subprocess.run(
                ["unshare", "-n", "-m", "bash", "-c", ISOLATE, "isolate", str(BUILD.prefix),
                 str(scratch), sys.executable, __file__, "--case", str(work), case],
                env=BUILD.env(), capture_output=True, timeout=bound(300))
        finally:
            subprocess.run(["rm", "-rf", str(scratch)], check=False)
        out = done.stdout.decode("utf-8", "replace").strip().splitlines()
        if done.returncode != 0 or not out:
            raise RuntimeError(f"{case}: {done.stderr.decode('utf-8', 'replace')[-3000:]}")
        return json.loads(out[-1])

    wait_for_saved_ca()
    with concurrent.futures.ThreadPoolExecutor(SIDE_BY_SIDE) as pool:
        return dict(zip(cases, pool.map(one, cases)))


class SilentServers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        trust_test_ca(BUILD)
        FILES["tolbex_launcher.exe"] = BUILD.fake_launcher.read_bytes()
        cls.work = Path(tempfile.mkdtemp(prefix="tolbex-silent-"))
        cls.update = make_release(cls.work / "site", FILES)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def assert_second_installs(self, result):
        texts = [text for _, text in result["lines"]]
        self.assertEqual(result["code"], 0, texts)
        self.assertIn("gelukt=1", result["report"])
        self.assertEqual(result["installed"], {n: d.hex() for n, d in FILES.items()})
        self.assertIn(f"[installer] via {FIRST} niet gelukt", texts)
        return texts

    def test_a_server_silent_at_any_stage_is_given_up_and_the_second_installs(self):
        cases = [f"silent:{target}/{stage}" for target in TARGETS for stage in stall.STAGES]
        results = run_isolated(self.work, cases)
        print()
        for case, result in results.items():
            with self.subTest(case):
                texts = self.assert_second_installs(result)
                target, stage = case.split(":")[1].split("/")
                url = f"{FIRST}/update/{TARGETS[target]}"
                size = len((self.update / TARGETS[target]).read_bytes())
                # Silent before a status 200 fails the fetch; silent in the body keeps
                # what came (none after the headers), as any read that fails there.
                wanted = {
                    "accept": f"Ophalen van {url} mislukt: geen antwoord binnen 15 s",
                    "status": f"Ophalen van {url} mislukt: geen antwoord binnen 15 s",
                    "headers": f"Ophalen van {url} onvolledig: afgebroken na 0 van {size} "
                               "aangekondigde bytes",
                    "body": f"Ophalen van {url} onvolledig: afgebroken na {size // 2} van {size} "
                            "aangekondigde bytes",
                }[stage]
                self.assertIn(wanted, texts)
                at = texts.index(wanted)
                seconds = result["lines"][at][0]
                # From the line before (the request follows it at once), or from the
                # start, which includes Wine's own start.
                since, start = (result["lines"][at - 1][0], 0) if at > 0 else (0, WINE_START_MARGIN_S)
                print(f"{case}: gave up {seconds - since:.1f} s after the "
                      f"{'line before' if at > 0 else 'start'}; the second server installed "
                      f"by {result['lines'][-1][0]:.1f} s; the process ended at "
                      f"{result['ended']:.1f} s")
                self.assertLess(seconds - since, start + SILENT_BOUND, texts)
                # A helper thread given up while blocked does not keep the process: it
                # ended long before the silent server let go (SERVER_LIFETIME).
                self.assertLess(result["ended"], SERVER_LIFETIME / 2)
                if target == "file":
                    self.assertEqual(texts[at + 1], {
                        "body": "Update GEWEIGERD: sha256 van tolbex_core.dll klopt niet met het "
                                "manifest"}.get(stage, "Downloaden van tolbex_core.dll mislukt"))

    def test_each_failure_names_its_cause_in_the_line_before(self):
        core = f"{FIRST}/update/tolbex_core.dll"
        manifest = f"{FIRST}/update/manifest.json"
        cases = {
            "refused": [f"Ophalen van {manifest} mislukt: WinHttpSendRequest gaf fout 12029 "
                        "(geen verbinding)", f"Geen updateserver bereikbaar ({FIRST})"],
            # The connect time-out, which Wine does enforce.
            "blackhole": [f"Ophalen van {manifest} mislukt: WinHttpSendRequest gaf fout 12002 "
                          "(time-out)", f"Geen updateserver bereikbaar ({FIRST})"],
            "status:file/404": [f"Ophalen van {core} mislukt: status 404",
                                "Downloaden van tolbex_core.dll mislukt"],
            "status:signature/203": [
                f"Ophalen van {FIRST}/update/manifest.sig mislukt: status 203",
                "Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet"],
            "untrusted": [f"Ophalen van {manifest} mislukt: WinHttpSendRequest gaf fout 12157 "
                          "(TLS-verbinding mislukt)", f"Geen updateserver bereikbaar ({FIRST})"],
            "cut": [f"Ophalen van {core} onvolledig: afgebroken na 100 van 10240 aangekondigde bytes",
                    "Update GEWEIGERD: sha256 van tolbex_core.dll klopt niet met het manifest"],
            "cap": [f"Ophalen van {core} mislukt: groter dan {CAP} bytes",
                    "Downloaden van tolbex_core.dll mislukt"],
        }
        results = run_isolated(self.work, list(cases))
        for case, wanted in cases.items():
            with self.subTest(case):
                texts = self.assert_second_installs(results[case])
                at = texts.index(wanted[1])
                self.assertEqual(texts[at - 1:at + 1], wanted, texts)
        # The time-out's line is asserted by the silent cases above.

    def test_a_kept_alive_connection_closed_while_idle_does_not_fail_the_next_file(self):
        result = run_isolated(self.work, ["idle"])["idle"]
        texts = [text for _, text in result["lines"]]
        self.assertEqual(result["code"], 0, texts)
        self.assertEqual(result["installed"], {n: d.hex() for n, d in FILES.items()})
        self.assertNotIn(f"[installer] via {FIRST} niet gelukt", texts)
        self.assertFalse([t for t in texts if t.startswith("Ophalen van")], texts)
        # Every request came on a connection of its own.
        ports = [port for _, port in result["peers"]]
        self.assertEqual(len(ports), len(set(ports)), result["peers"])


if __name__ == "__main__":
    if sys.argv[1:2] == ["--case"]:
        run_case(Path(sys.argv[2]), sys.argv[3])
    else:
        unittest.main()
