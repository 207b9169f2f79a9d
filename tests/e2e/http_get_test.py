"""HttpGet and FetchSignatureText under Wine against nginx and the hostile server.

Each case table runs through one start of http_probe.exe (see http_probe.cpp): a line per
URL with the result, the buffer size and the SHA-256 of the buffer, which starts as the
4 bytes "keep" so that an untouched buffer on failure shows as well.
"""
import hashlib
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from harness import Build, free_port, wine_run
from servers import (HostileServer, Nginx, delay, drip, endless, redirect, reply, silent,
                     trust_test_ca, truncated)

KEEP = b"keep"
MAX_BODY = 268435456
BUILD = Build()
PROBE = BUILD.path("tests/http_probe.exe")


def expect(ok, body=b""):
    data = KEEP + body if ok else KEEP
    return f"{int(ok)} {len(data)} {hashlib.sha256(data).hexdigest()}"


def probe(mode, urls, timeout=bound(60)):
    result = wine_run([PROBE, mode] + list(urls), build=BUILD, timeout=timeout)
    lines = result.stdout.decode().splitlines()
    assert len(lines) == len(urls), (lines, result.stderr.decode()[-2000:])
    return lines


class HttpGetTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        trust_test_ca(BUILD)
        cls.www = tempfile.TemporaryDirectory(prefix="tolbex-www-")
        cls.file = bytes(range(256)) * 4096 + b"tail"
        Path(cls.www.name, "update").mkdir()
        Path(cls.www.name, "update", "file.bin").write_bytes(cls.file)

    @classmethod
    def tearDownClass(cls):
        cls.www.cleanup()

    def test_answers_true_only_for_a_whole_200(self):
        routes = {
            "/empty": reply(200, b""),
            "/404": reply(404, b"missing"),
            "/500": reply(500, b"broken"),
            "/204": reply(204),
            "/206": reply(206, b"part", {"Content-Range": "bytes 0-3/10"}),
            "/cut": truncated(b"only this", announced=1000),
            "/toolong": truncated(b"x" * 100, announced=MAX_BODY + 1),
            "/atcap": truncated(b"x" * 100, announced=MAX_BODY),
            "/exact": reply(200, b"q"),
            "/": reply(200, b"root"),
        }
        with Nginx(self.www.name, http_port=0, https_port=0) as web, \
                HostileServer(routes) as plain, \
                HostileServer({"/x": reply(200, b"x")}, tls="wronghost") as wrong_host, \
                HostileServer({"/x": reply(200, b"x")}, tls="untrusted") as untrusted:
            plain.routes["/moved"] = redirect(web.http_url + "/update/file.bin")
            with HostileServer({"/down": redirect(web.http_url + "/update/file.bin")},
                               tls="localhost") as secure:
                cases = [
                    ("plain http from nginx", web.http_url + "/update/file.bin", expect(True, self.file)),
                    ("https from nginx", web.https_url + "/update/file.bin", expect(True, self.file)),
                    ("200 with an empty body", plain.url("/empty"), expect(True)),
                    ("404", plain.url("/404"), expect(False)),
                    ("500", plain.url("/500"), expect(False)),
                    ("204", plain.url("/204"), expect(False)),
                    ("206", plain.url("/206"), expect(False)),
                    ("body cut short keeps what came", plain.url("/cut"), expect(True, b"only this")),
                    ("announced length over the limit", plain.url("/toolong"), expect(False)),
                    # Exactly the cap is within it: the body is taken (here cut short).
                    ("announced length of exactly the limit", plain.url("/atcap"),
                     expect(True, b"x" * 100)),
                    ("http redirect followed", plain.url("/moved"), expect(True, self.file)),
                    ("https to http redirect refused", secure.url("/down"), expect(False)),
                    ("query passed unchanged", plain.url("/exact?v=1%20a&b=%2F"), expect(True, b"q")),
                    ("no path asks for /", f"http://localhost:{plain.port}", expect(True, b"root")),
                    ("cert for another host", wrong_host.url("/x"), expect(False)),
                    ("cert from a CA nobody trusts", untrusted.url("/x"), expect(False)),
                    ("connection refused", f"http://localhost:{free_port()}/x", expect(False)),
                    ("another scheme", f"ftp://localhost:{plain.port}/exact", expect(False)),
                ]
                lines = probe("get", [url for _, url, _ in cases])
                for (name, url, wanted), line in zip(cases, lines):
                    with self.subTest(name, url=url):
                        self.assertEqual(line, wanted)
                # The refused https-to-http hop never reached the plain server.
                self.assertEqual([r.line for r in secure.requests], ["GET /down HTTP/1.1"])
            self.assertEqual(web.access_log().count('"GET /update/file.bin HTTP/1.1" 200'), 3)
            lines = {r.line: r.headers for r in plain.requests}
            self.assertIn("GET /exact?v=1%20a&b=%2F HTTP/1.1", lines)
            self.assertIn("GET / HTTP/1.1", lines)
            self.assertNotIn("GET /exact HTTP/1.1", lines)  # the ftp URL sent nothing
            headers = lines["GET /exact?v=1%20a&b=%2F HTTP/1.1"]
            self.assertEqual([v for k, v in headers if k.lower() == "user-agent"], ["Tolbex"])
            # No extra headers; with keep-alive off the request asks for no kept connection.
            self.assertEqual(sorted(k.lower() for k, _ in headers if k.lower() != "connection"),
                             ["host", "user-agent"])
            self.assertIn([v.lower() for k, v in headers if k.lower() == "connection"],
                          ([], ["close"]))

    # 256 MiB through Wine takes seconds alone, minutes beside the other Wine tests: the
    # bounds leave room for that, and the test command's own bound is the ctest time-out.
    def test_refuses_an_endless_body_past_256_mib(self):
        with HostileServer({"/endless": endless(chunk=1 << 20)}, lifetime=bound(540)) as server:
            lines = probe("get", [server.url("/endless")], timeout=bound(500))
            self.assertEqual(lines, [expect(False)])
            self.assertGreater(server.endless_sent, MAX_BODY)

    # Wine 8 sets the socket time-outs but does not end a blocking wait for the response
    # headers when the receive time-out passes (measured: a server silent for 150 s held
    # the call for 150 s); HttpGet's own deadline does, which silent_server_test shows
    # through the real exe. What is shown here: the session asks for the system proxy
    # with auto-detection and the four time-outs, as Wine's own WinHTTP trace records the
    # calls, and a server that accepts, never answers and hangs up 10 s later fails the
    # call. The server lives long enough for a Wine start on a loaded machine to reach it.
    def test_sets_the_four_timeouts_and_fails_on_a_silent_server(self):
        with HostileServer({"/silent": silent(10)}, lifetime=bound(10)) as server:
            result = wine_run([PROBE, "get", server.url("/silent")], build=BUILD,
                              timeout=bound(60), env={"WINEDEBUG": "trace+winhttp"})
        self.assertEqual(result.stdout.decode().splitlines(), [expect(False)])
        self.assertEqual(len(server.requests), 1)
        trace = result.stderr.decode("utf-8", "replace")
        self.assertRegex(trace, r'trace:winhttp:WinHttpOpen L"Tolbex", 4, \(null\), \(null\), 0\n')
        self.assertRegex(trace, r"trace:winhttp:WinHttpSetTimeouts \w+, 3000, 3000, 5000, 15000\n")


class FetchProgressTest(unittest.TestCase):
    # Reported on the calling thread while the body arrives, growing, the last report the
    # whole body with its announced length; nothing for a failed status.
    def test_reports_the_body_as_it_arrives_on_the_calling_thread(self):
        body = bytes(range(256)) * 32  # 8 KiB, in four pieces half a second apart
        routes = {"/drip": drip(body, rate=4096, every=0.5), "/404": reply(404, b"weg")}
        with HostileServer(routes) as server:
            dripped, missing = probe("progress", [server.url("/drip"), server.url("/404")])
        ok, reports, received, announced, ordered = map(int, dripped.split())
        self.assertEqual((ok, received, announced, ordered), (1, len(body), len(body), 1))
        self.assertGreaterEqual(reports, 3)
        self.assertEqual(missing, "0 0 0 0 1")


class FetchSignatureTextTest(unittest.TestCase):
    def test_trims_trailing_white_space_and_bounds_the_size(self):
        digits = b"ab" * 64
        routes = {
            "/plain": reply(200, digits),
            "/trailing": reply(200, digits + b" \t\r\n\v\f"),
            "/leading": reply(200, b"\n " + digits + b"\n"),
            "/256": reply(200, digits + b"\n" * 128),
            "/257": reply(200, digits + b"\n" * 129),
            "/blank": reply(200, b" \r\n"),
            "/empty": reply(200, b""),
            "/404": reply(404, digits),
            "/slow": delay(0.5, reply(200, digits + b"\n")),
        }
        cases = [("/plain", digits), ("/trailing", digits), ("/leading", b"\n " + digits),
                 ("/256", digits), ("/257", b""), ("/blank", b""), ("/empty", b""),
                 ("/404", b""), ("/slow", digits)]
        with HostileServer(routes) as server:
            lines = probe("sig", [server.url(path) for path, _ in cases])
        for (path, wanted), line in zip(cases, lines):
            with self.subTest(path):
                self.assertEqual(line, wanted.hex() if wanted else "-")


if __name__ == "__main__":
    unittest.main()
