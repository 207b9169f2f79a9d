"""Servers on loopback for the tests: a test PKI, nginx, and a scriptable hostile server.

Python 3 standard library only, plus the `openssl` and `nginx` commands.

    from servers import TestPki, trust_test_ca, Nginx, HostileServer, free_port
    from servers import reply, delay, silent, truncated, endless, redirect

TestPki(build=None)      made once per build folder in <build>/testpki/ (never committed):
    .ca_pem, .ca_der       the test CA; trusted only inside the build's Wine prefix
    .cert(name)            (cert.pem, key.pem) for name in
                             "localhost"  SAN DNS:localhost, signed by the test CA
                             "wronghost"  SAN DNS:wronghost.invalid, signed by the test CA
                             "untrusted"  SAN DNS:localhost, signed by a CA nobody trusts
trust_test_ca(build=None)  adds the test CA to the prefix's ROOT store (trust-ca.exe),
                           once per prefix (marker file in the prefix). Wine's WinHTTP
                           matches DNS names only, so https tests use host name localhost.
                           Inside Wine, localhost resolves to 127.0.0.1 (WinHTTP connects
                           there first), so the servers listen on 127.0.0.1 only.

Nginx(root_dir, http_port=None, https_port=None, cert="localhost", lifetime=bound(600))
    context manager; root_dir's update folders on 127.0.0.1 (http and/or https; a port
    of 0 picks a free one), served by the shipped configuration: the server blocks of
    deploy/nginx/update-https.conf and update-mirror.conf with their listen address,
    name, certificate and root filled in, each including deploy/nginx/update-location.conf
    as it stands. So only paths ending in /update/NAME are served (root_dir/update/... or
    root_dir/<release>/update/...), with the shipped cache headers; anything else is 404.
    .http_url / .https_url are "http://localhost:PORT" bases. .access_log() gives the
    access log text. Runs under `timeout`, so it ends by itself.
Nginx.demo(root_dir)     the demo deployment's ports: https 39705, http 39706.

HostileServer(routes, port=None, tls=None, lifetime=bound(120))
    context manager; a threaded http.server on 127.0.0.1. routes maps a request target
    ("/a?b=1", matched first whole, then without its query) to a behaviour; other targets
    get 404. tls=None for plain http, else a TestPki cert name ("localhost", ...).
    .url(path)  "http(s)://localhost:PORT" + path
    .requests   list of Request(line, headers, peer, at) received, headers as (name, value) pairs
                in the order sent. Stops by itself after lifetime seconds.
Behaviours:
    reply(status=200, body=b"", headers=None)   a whole answer with Content-Length
    delay(seconds, behaviour)                   waits, then behaves
    silent(seconds=None)                        accepts, reads the request, never answers;
                                                hangs up seconds later, else at the stop
    truncated(body, announced)                  Content-Length announced, body cut, close
    endless(chunk=65536)                        chunked body that never ends; the server
                                                counts bytes sent in .endless_sent
    redirect(location, status=302)              a redirect with a Location header
    drip(body, rate, every=1.0)                 a 200 with the whole Content-Length, then
                                                the body at rate bytes a second: every
                                                `every` seconds the next rate*every bytes
                                                (at least one); a slow or stalling server
    stall(stage, body)                          a 200 of body that goes silent for good at
                                                stage: "accept" (nothing at all), "status"
                                                (after the status line), "headers" (after
                                                the headers), "body" (after half the body)
    idle_close(body, rate, after=1.0)           body dripped at rate bytes a second, the
                                                connection kept alive (no "Connection:
                                                close") but not read again, then closed
                                                `after` seconds later without a word, as
                                                idle servers and proxies do
Request.peer is the client's (address, port): one port per connection; Request.at is
time.monotonic() when the request line arrived.
"""
import contextlib
import fcntl
import http.server
import os
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import threading
import time
from collections import namedtuple
from pathlib import Path

from bounds import bound, deadline
from harness import SOURCE_DIR, Build, free_port, wine_run, win_path

__all__ = ["TestPki", "trust_test_ca", "Nginx", "HostileServer", "free_port", "reply", "delay",
           "silent", "truncated", "endless", "redirect", "drip", "stall", "idle_close", "Request"]


# ---------------------------------------------------------------- test PKI

def _openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True, capture_output=True)


class TestPki:
    """CAs and server certificates, made with openssl at first use and kept per build."""

    _CERTS = {"localhost": ("ca", "localhost"), "wronghost": ("ca", "wronghost.invalid"),
              "untrusted": ("rogue-ca", "localhost")}

    def __init__(self, build=None):
        self.build = build or Build()
        self.dir = self.build.dir / "testpki"
        self.ca_pem = self.dir / "ca.pem"
        self.ca_der = self.dir / "ca.der"
        self._ensure()

    def cert(self, name):
        return self.dir / f"{name}.pem", self.dir / f"{name}.key"

    def _ensure(self):
        self.dir.mkdir(parents=True, exist_ok=True)
        with open(self.dir / ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if (self.dir / ".ready").exists():
                return
            for ca in ("ca", "rogue-ca"):
                self._make_ca(ca)
            for name, (ca, host) in self._CERTS.items():
                self._make_server_cert(name, ca, host)
            _openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=self.dir)
            (self.dir / ".ready").touch()

    def _make_ca(self, ca):
        _openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                 "-nodes", "-keyout", f"{ca}.key", "-out", f"{ca}.pem", "-days", "3650",
                 "-subj", f"/CN=Tolbex test {ca}", "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=self.dir)

    def _make_server_cert(self, name, ca, host):
        ext = self.dir / f"{name}.ext"
        ext.write_text(f"subjectAltName=DNS:{host}\nbasicConstraints=CA:FALSE\n"
                       "keyUsage=critical,digitalSignature,keyEncipherment\n"
                       "extendedKeyUsage=serverAuth\n")
        _openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", f"{name}.key", "-out", f"{name}.csr", "-subj", f"/CN={host}",
                 cwd=self.dir)
        _openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{ca}.pem", "-CAkey", f"{ca}.key",
                 "-CAcreateserial", "-out", f"{name}.pem", "-days", "3650", "-extfile", ext.name,
                 cwd=self.dir)


def trust_test_ca(build=None):
    """Adds the test CA to the Wine prefix's ROOT store, once per prefix."""
    build = build or Build()
    pki = TestPki(build)
    marker = build.prefix / ".tolbex-test-ca"
    build.prefix.mkdir(parents=True, exist_ok=True)
    # Tests running side by side share the prefix: one adds the CA, the others wait.
    with open(str(build.prefix) + ".trust-lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if marker.exists() and marker.read_bytes() == pki.ca_der.read_bytes():
            return
        tool = build.path("tests/trust-ca.exe")
        result = wine_run([tool, win_path(pki.ca_der)], build=build)
        if result.returncode != 0:
            raise RuntimeError("trust-ca failed: " + result.stderr.decode("utf-8", "replace"))
        shutil.copyfile(pki.ca_der, marker)


def _wait_listening(port, seconds=10):
    end = deadline(seconds)
    while time.monotonic() < end:
        with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), 0.2):
            return
        time.sleep(0.05)
    raise RuntimeError(f"nothing listens on 127.0.0.1:{port}")


# ---------------------------------------------------------------- nginx

_NGINX_CONF = """\
{user}worker_processes 1;
daemon off;
master_process on;
pid {tmp}/nginx.pid;
error_log {tmp}/error.log info;
events {{ worker_connections 64; }}
http {{
    access_log {tmp}/access.log;
    client_body_temp_path {tmp}/body;
    proxy_temp_path {tmp}/proxy;
    fastcgi_temp_path {tmp}/fastcgi;
    uwsgi_temp_path {tmp}/uwsgi;
    scgi_temp_path {tmp}/scgi;
    sendfile on;
{servers}}}
"""

DEPLOY_NGINX = SOURCE_DIR / "deploy" / "nginx"


def _shipped_server(name, replacements):
    """A shipped server block with its site-specific lines replaced, each exactly once."""
    text = (DEPLOY_NGINX / name).read_text()
    replacements = replacements + [("include /etc/nginx/tolbex/update-location.conf;",
                                    f"include {DEPLOY_NGINX / 'update-location.conf'};")]
    for old, new in replacements:
        if text.count(old) != 1:
            raise RuntimeError(f"deploy/nginx/{name} no longer holds '{old}' once")
        text = text.replace(old, new)
    return text


class Nginx:
    """nginx serving root_dir on loopback; stops on exit or after lifetime seconds."""

    def __init__(self, root_dir, http_port=None, https_port=None, cert="localhost",
                 lifetime=bound(600), build=None):
        if http_port is None and https_port is None:
            http_port = 0
        self.root = Path(root_dir).resolve()
        self.http_port = free_port() if http_port == 0 else http_port
        self.https_port = free_port() if https_port == 0 else https_port
        self.cert = cert
        self.lifetime = lifetime
        self.build = build or Build()
        self._proc = None
        self._tmp = None

    @classmethod
    def demo(cls, root_dir, **kwargs):
        return cls(root_dir, http_port=39706, https_port=39705, **kwargs)

    @property
    def http_url(self):
        return f"http://localhost:{self.http_port}"

    @property
    def https_url(self):
        return f"https://localhost:{self.https_port}"

    def access_log(self):
        return (Path(self._tmp.name) / "access.log").read_text()

    def _servers(self):
        blocks = []
        root = ("root /srv/tolbex/current;", f"root {self.root};")
        if self.http_port:
            blocks.append(_shipped_server("update-mirror.conf", [
                ("listen 39706;", f"listen 127.0.0.1:{self.http_port};"),
                ("server_name mirror.example.org;", "server_name localhost;"), root]))
        if self.https_port:
            pem, key = TestPki(self.build).cert(self.cert)
            blocks.append(_shipped_server("update-https.conf", [
                ("listen 443 ssl;", f"listen 127.0.0.1:{self.https_port} ssl;"),
                ("server_name updates.example.org;", "server_name localhost;"),
                ("ssl_certificate /etc/ssl/tolbex/updates.example.org.pem;", f"ssl_certificate {pem};"),
                ("ssl_certificate_key /etc/ssl/tolbex/updates.example.org.key;",
                 f"ssl_certificate_key {key};"), root]))
        return "".join(blocks)

    def __enter__(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="tolbex-nginx-")
        tmp = self._tmp.name
        # As root the workers would switch to "nobody", who may not read the build tree.
        user = "user root;\n" if os.geteuid() == 0 else ""
        conf = Path(tmp) / "nginx.conf"
        conf.write_text(_NGINX_CONF.format(user=user, tmp=tmp, servers=self._servers()))
        self._proc = subprocess.Popen(
            ["timeout", "--signal=TERM", str(self.lifetime), "nginx", "-p", tmp, "-e",
             f"{tmp}/error.log", "-c", str(conf)], stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE, start_new_session=True)
        try:
            for port in (self.http_port, self.https_port):
                if port:
                    _wait_listening(port)
        except RuntimeError:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        if self._proc and self._proc.poll() is None:
            self._proc.send_signal(signal.SIGTERM)
            try:
                self._proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self._proc.pid, signal.SIGKILL)
                self._proc.wait()
        if self._tmp:
            self._tmp.cleanup()
        return False


# ---------------------------------------------------------------- hostile server

Request = namedtuple("Request", "line headers peer at", defaults=(None, None))


class _Behaviour:
    def run(self, handler, server):
        raise NotImplementedError


class reply(_Behaviour):
    def __init__(self, status=200, body=b"", headers=None):
        self.status, self.body, self.headers = status, body, dict(headers or {})

    def run(self, handler, server):
        handler.send_response(self.status)
        for name, value in self.headers.items():
            handler.send_header(name, value)
        if "Content-Length" not in self.headers and self.status not in (204, 304):
            handler.send_header("Content-Length", str(len(self.body)))
        handler.end_headers()
        if self.status not in (204, 304):
            handler.wfile.write(self.body)


class delay(_Behaviour):
    def __init__(self, seconds, behaviour):
        self.seconds, self.behaviour = seconds, behaviour

    def run(self, handler, server):
        if not server.stopping.wait(self.seconds):
            self.behaviour.run(handler, server)


class silent(_Behaviour):
    def __init__(self, seconds=None):
        self.seconds = seconds

    def run(self, handler, server):
        server.stopping.wait(self.seconds)
        handler.close_connection = True


class truncated(_Behaviour):
    def __init__(self, body, announced):
        self.body, self.announced = body, announced

    def run(self, handler, server):
        handler.send_response(200)
        handler.send_header("Content-Length", str(self.announced))
        handler.end_headers()
        handler.wfile.write(self.body)
        handler.wfile.flush()
        handler.close_connection = True
        with contextlib.suppress(OSError):
            handler.connection.shutdown(socket.SHUT_RDWR)


class endless(_Behaviour):
    def __init__(self, chunk=65536):
        self.chunk = chunk

    def run(self, handler, server):
        handler.send_response(200)
        handler.send_header("Transfer-Encoding", "chunked")
        handler.end_headers()
        frame = b"%x\r\n" % self.chunk + b"e" * self.chunk + b"\r\n"
        handler.close_connection = True
        with contextlib.suppress(OSError):
            while not server.stopping.is_set():
                handler.wfile.write(frame)
                server.endless_sent += self.chunk


class redirect(_Behaviour):
    def __init__(self, location, status=302):
        self.location, self.status = location, status

    def run(self, handler, server):
        reply(self.status, b"", {"Location": self.location}).run(handler, server)


class drip(_Behaviour):
    def __init__(self, body, rate, every=1.0):
        self.body, self.every = body, every
        self.step = max(1, int(rate * every))

    def run(self, handler, server):
        handler.send_response(200)
        handler.send_header("Content-Length", str(len(self.body)))
        handler.end_headers()
        handler.close_connection = True
        with contextlib.suppress(OSError):
            handler.wfile.flush()
            for at in range(0, len(self.body), self.step):
                if server.stopping.wait(self.every):
                    return
                handler.wfile.write(self.body[at:at + self.step])
                handler.wfile.flush()


class stall(_Behaviour):
    STAGES = ("accept", "status", "headers", "body")

    def __init__(self, stage, body):
        assert stage in self.STAGES, stage
        self.stage, self.body = stage, body

    def run(self, handler, server):
        handler.close_connection = True
        with contextlib.suppress(OSError):
            if self.stage != "accept":
                handler.wfile.write(b"HTTP/1.1 200 OK\r\n")
            if self.stage in ("headers", "body"):
                handler.wfile.write(b"Content-Length: %d\r\n\r\n" % len(self.body))
            if self.stage == "body":
                handler.wfile.write(self.body[:len(self.body) // 2])
            handler.wfile.flush()
        server.stopping.wait()


class idle_close(_Behaviour):
    def __init__(self, body, rate, after=1.0):
        self.body, self.rate, self.after = body, rate, after

    def run(self, handler, server):
        handler.send_response(200)
        handler.send_header("Content-Length", str(len(self.body)))
        handler.end_headers()
        step = max(1, self.rate // 10)
        with contextlib.suppress(OSError):
            for at in range(0, len(self.body), step):
                if server.stopping.wait(0.1):
                    return
                handler.wfile.write(self.body[at:at + step])
                handler.wfile.flush()
        # The answer was whole and kept alive; then the server lets the connection idle
        # (a request sent on it now is never read) and hangs up without a word.
        server.stopping.wait(self.after)
        handler.close_connection = True
        with contextlib.suppress(OSError):
            handler.connection.shutdown(socket.SHUT_RDWR)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        server = self.server.owner
        server.requests.append(Request(self.requestline, list(self.headers.items()),
                                       self.client_address, time.monotonic()))
        target = self.path
        behaviour = server.routes.get(target) or server.routes.get(target.split("?", 1)[0])
        (behaviour or reply(404, b"not here")).run(self, server)

    do_HEAD = do_POST = do_GET

    def log_message(self, *args):
        pass


class _ThreadingServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # a client hanging up mid-body is expected here


class HostileServer:
    """A scripted HTTP(S) server for faults; see the module docstring."""

    def __init__(self, routes, port=None, tls=None, lifetime=bound(120), build=None):
        self.routes = dict(routes)
        self.port = port or free_port()
        self.tls = tls
        self.lifetime = lifetime
        self.build = build
        self.requests = []
        self.endless_sent = 0
        self.stopping = threading.Event()
        self._server = None

    def url(self, path="/"):
        scheme = "https" if self.tls else "http"
        return f"{scheme}://localhost:{self.port}{path}"

    def __enter__(self):
        self._server = _ThreadingServer(("127.0.0.1", self.port), _Handler)
        self._server.owner = self
        if self.tls:
            pem, key = TestPki(self.build).cert(self.tls)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(pem, key)
            self._server.socket = context.wrap_socket(self._server.socket, server_side=True)
        threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                         daemon=True).start()
        self._timer = threading.Timer(self.lifetime, self._stop)
        self._timer.daemon = True
        self._timer.start()
        return self

    def _stop(self):
        if not self.stopping.is_set():
            self.stopping.set()
            self._server.shutdown()
            self._server.server_close()

    def __exit__(self, *exc):
        self._timer.cancel()
        self._stop()
        return False
