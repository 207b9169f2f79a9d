"""tools/release-build: refusals, a reproducible exe, an Authenticode signature that holds.

The code-signing CA and certificate are made here with openssl, in a temporary folder,
for this run only. The release is built exactly twice (setUpClass), in two different
folders with two umasks and two signing forms, and every build case reads those two.
"""
import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from harness import SOURCE_DIR, Build, free_port
from releases import make_release, publish_tool
from servers import Nginx, trust_test_ca
from test_mode import expected_report, run_test_mode

RELEASE_BUILD = SOURCE_DIR / "tools" / "release-build"
DEMO_DEPLOYMENT = SOURCE_DIR / "deploy" / "demo.deployment"
# A key of the right shape that is not a demo key: ECS1, key length 32, then X and Y.
OWN_KEY = "4543533120000000" + "ab" * 64
OWN_VALUES = {
    "TOLBEX_UPDATE_SERVER_1": "https://updates.example.org",
    "TOLBEX_UPDATE_SERVER_2": "http://mirror.example.org:39706",
    "TOLBEX_MANIFEST_KEY_1": OWN_KEY,
    "TOLBEX_MANIFEST_KEY_2": OWN_KEY,
}
LEAF_EXTENSIONS = """basicConstraints=critical,CA:false
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
"""


def demo_values():
    values = {}
    for line in DEMO_DEPLOYMENT.read_text().splitlines():
        if line and not line.startswith("#"):
            key, _, value = line.partition("=")
            values[key] = value
    return values


def write_deployment(path, values, extra_lines=()):
    path.write_text("".join(f"{k}={v}\n" for k, v in values.items()) + "".join(extra_lines))
    return path


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_ca(folder, name):
    """A self-signed CA: name.key, name.pem."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key",
            "-out", f"{name}.pem", "-days", "2", "-subj", f"/CN=Tolbex test {name}",
            "-addext", "basicConstraints=critical,CA:true",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)


def make_code_signing_pki(folder):
    """CA ca.pem; a codeSigning certificate signer.pem with key signer.key; the same as
    PKCS#12 signer.p12 with its password in pass.txt; and an unrelated CA other.pem."""
    make_ca(folder, "ca")
    make_ca(folder, "other")
    (folder / "leaf.cnf").write_text(LEAF_EXTENSIONS)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/CN=Tolbex test publisher", cwd=folder)
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "signer.pem", "-days", "2", "-extfile", "leaf.cnf", cwd=folder)
    (folder / "pass.txt").write_text("correct horse\n")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-out", "signer.p12", "-passout", "file:pass.txt", cwd=folder)


def run_release(args, cwd, umask=0o022, tmpdir=None):
    env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
    if tmpdir:
        Path(tmpdir).mkdir(parents=True, exist_ok=True)
        env["TMPDIR"] = str(tmpdir)
    return subprocess.run([str(RELEASE_BUILD), *[str(a) for a in args]], cwd=cwd, env=env,
                          capture_output=True, text=True, timeout=bound(900),
                          preexec_fn=lambda: os.umask(umask))


def verify(exe, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(exe)],
                          capture_output=True, text=True)


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


class ReleaseRefusals(unittest.TestCase):
    """Every refusal happens before anything is built, and leaves OUT-DIR as it was."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(tempfile.mkdtemp(prefix="tolbex-refusal-"))
        make_code_signing_pki(cls.tmp)
        cls.sign = ["--sign-key", cls.tmp / "signer.key", "--sign-cert", cls.tmp / "signer.pem"]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def refusal(self, deployment, *extra, out=None):
        out = out or self.tmp / "out"
        result = run_release([deployment, out, *extra], cwd=self.tmp)
        self.assertEqual(result.returncode, 2, result.stderr)
        return result.stderr

    def test_refuses_demo_deployment_without_demo_flag(self):
        stderr = self.refusal(DEMO_DEPLOYMENT, *self.sign)
        self.assertIn("TOLBEX_MANIFEST_KEY_1 is demo key 1", stderr)
        self.assertIn("TOLBEX_MANIFEST_KEY_2 is demo key 2", stderr)
        self.assertIn("pass --demo", stderr)
        self.assertFalse((self.tmp / "out").exists())

    def test_refuses_each_demo_key_and_loopback_server(self):
        demo = demo_values()
        cases = [
            ("TOLBEX_MANIFEST_KEY_2", demo["TOLBEX_MANIFEST_KEY_1"],
             "TOLBEX_MANIFEST_KEY_2 is demo key 1"),
            ("TOLBEX_MANIFEST_KEY_1", demo["TOLBEX_MANIFEST_KEY_2"].upper(),
             "TOLBEX_MANIFEST_KEY_1 is demo key 2"),
            ("TOLBEX_UPDATE_SERVER_1", "https://localhost", "TOLBEX_UPDATE_SERVER_1 is a loopback server"),
            ("TOLBEX_UPDATE_SERVER_2", "http://127.3.4.5:8080", "TOLBEX_UPDATE_SERVER_2 is a loopback server"),
            ("TOLBEX_UPDATE_SERVER_2", "http://[::1]:39706", "TOLBEX_UPDATE_SERVER_2 is a loopback server"),
            ("TOLBEX_UPDATE_SERVER_1", "https://LocalHost.:443", "TOLBEX_UPDATE_SERVER_1 is a loopback server"),
        ]
        for key, value, reason in cases:
            with self.subTest(key=key, value=value):
                deployment = write_deployment(self.tmp / "one.deployment", {**OWN_VALUES, key: value})
                stderr = self.refusal(deployment, *self.sign)
                self.assertIn(reason, stderr)
                self.assertEqual(stderr.count("\n  - "), 1, stderr)

    def test_refuses_release_without_signing_key(self):
        deployment = write_deployment(self.tmp / "own.deployment", OWN_VALUES)
        stderr = self.refusal(deployment)
        self.assertIn("no code-signing key is given (--sign-pkcs12 or --sign-key)", stderr)

    def test_refuses_malformed_files_and_options(self):
        own = write_deployment(self.tmp / "own.deployment", OWN_VALUES)
        busy = self.tmp / "busy"
        busy.mkdir()
        (busy / "old.txt").write_text("an earlier release")
        cases = [
            (write_deployment(self.tmp / "typo.deployment", OWN_VALUES, ["SIGN_ULR=https://x\n"]),
             self.sign, None, "typo.deployment:5: unknown key 'SIGN_ULR'"),
            (write_deployment(self.tmp / "twice.deployment", OWN_VALUES,
                              ["TOLBEX_MANIFEST_KEY_1=" + OWN_KEY + "\n"]),
             self.sign, None, "twice.deployment:5: TOLBEX_MANIFEST_KEY_1 is given a second time"),
            (write_deployment(self.tmp / "short.deployment",
                              {k: v for k, v in OWN_VALUES.items() if k != "TOLBEX_UPDATE_SERVER_2"}),
             self.sign, None, "short.deployment: no value for TOLBEX_UPDATE_SERVER_2"),
            (own, ["--sign-pkcs12", self.tmp / "signer.p12"], None,
             "--sign-pkcs12 and --sign-pass-file go together"),
            (own, ["--sign-key", self.tmp / "missing.key", "--sign-cert", self.tmp / "signer.pem"],
             None, "signing file not found"),
            (own, self.sign, busy, "must be an empty folder or not exist yet"),
        ]
        for deployment, options, out, message in cases:
            with self.subTest(message=message):
                self.assertIn(message, self.refusal(deployment, *options, out=out))
        self.assertEqual(sorted(p.name for p in busy.iterdir()), ["old.txt"])


class ReleaseBuild(unittest.TestCase):
    """Two release builds of the demo deployment: A signs with a PEM pair and a time-stamping
    server that does not answer, B with PKCS#12, in other folders and under umask 077."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(tempfile.mkdtemp(prefix="tolbex-release-test-"))
        cls.pki = cls.tmp / "pki"
        cls.pki.mkdir()
        make_code_signing_pki(cls.pki)
        cls.dead_tsa = f"http://127.0.0.1:{free_port()}"
        a_dir, b_dir = cls.tmp / "a", cls.tmp / "second" / "folder" / "b"
        cls.out_a, cls.out_b = a_dir / "out", b_dir / "out"
        cls.result_a = run_release(
            [DEMO_DEPLOYMENT, cls.out_a, "--demo", "--sign-key", cls.pki / "signer.key",
             "--sign-cert", cls.pki / "signer.pem", "--timestamp", cls.dead_tsa],
            cwd=SOURCE_DIR, umask=0o022, tmpdir=a_dir / "tmp")
        cls.result_b = run_release(
            [DEMO_DEPLOYMENT, cls.out_b, "--demo", "--sign-pkcs12", cls.pki / "signer.p12",
             "--sign-pass-file", cls.pki / "pass.txt"],
            cwd=b_dir.parent, umask=0o077, tmpdir=b_dir / "a" / "much" / "longer" / "tmp")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        for result in (self.result_a, self.result_b):
            self.assertEqual(result.returncode, 0, result.stderr[-4000:])

    def test_two_builds_give_byte_identical_unsigned_exes(self):
        self.assertEqual(sha256(self.out_a / "TolbexSetup-unsigned.exe"),
                         sha256(self.out_b / "TolbexSetup-unsigned.exe"))

    def test_publishes_both_exes_with_checksums(self):
        for out in (self.out_a, self.out_b):
            self.assertEqual(sorted(p.name for p in out.iterdir()),
                             ["SHA256SUMS", "TolbexSetup-unsigned.exe", "TolbexSetup.exe"])
            self.assertEqual((out / "SHA256SUMS").read_text(),
                             f"{sha256(out / 'TolbexSetup-unsigned.exe')}  TolbexSetup-unsigned.exe\n"
                             f"{sha256(out / 'TolbexSetup.exe')}  TolbexSetup.exe\n")
            check = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=out, capture_output=True)
            self.assertEqual(check.returncode, 0, check.stdout)

    def test_signature_verifies_against_its_ca_only(self):
        for out in (self.out_a, self.out_b):
            with self.subTest(out=out.parent.name):
                good = verify(out / "TolbexSetup.exe", self.pki / "ca.pem")
                self.assertEqual(good.returncode, 0, good.stdout + good.stderr)
                self.assertIn("Text description: Tolbex Setup", good.stdout)
                self.assertIn("URL description: https://tolbex.example", good.stdout)
                self.assertNotEqual(verify(out / "TolbexSetup.exe", self.pki / "other.pem").returncode, 0)

    def test_one_changed_byte_fails_verification(self):
        tampered = self.tmp / "tampered.exe"
        data = bytearray((self.out_a / "TolbexSetup.exe").read_bytes())
        data[0x2000] ^= 0x01  # inside .text, well past the headers
        tampered.write_bytes(bytes(data))
        result = verify(tampered, self.pki / "ca.pem")
        self.assertNotEqual(result.returncode, 0, result.stdout)

    def test_says_when_signing_without_time_stamp(self):
        self.assertIn(f"release-build: time-stamping server {self.dead_tsa} not reachable: signed "
                      f"WITHOUT a time stamp (Windows stops trusting it when the certificate expires)\n",
                      self.result_a.stderr)
        self.assertIn("release-build: signed WITHOUT a time stamp (no --timestamp given): Windows "
                      "stops trusting it when the certificate expires\n", self.result_b.stderr)
        self.assertIn("Timestamp is not available",
                      verify(self.out_a / "TolbexSetup.exe", self.pki / "ca.pem").stdout)

    def test_signed_exe_installs_in_test_mode(self):
        build = Build()
        # Both come with the windows build (the host tool through its ExternalProject); a
        # build without them is broken, not a reason to pass untried: publish_tool raises.
        publish_tool(build)
        self.assertTrue(build.fake_launcher.is_file(),
                        f"{build.fake_launcher} is missing: build the windows preset")
        files = {"tolbex_launcher.exe": build.fake_launcher.read_bytes(),
                 "tolbex.ini": b"[Tolbex]\r\n; the release of the release test\r\n" + b"x" * 64}
        served = make_release(self.tmp / "served", files, build).parent
        target = self.tmp / "test_mode"
        target.mkdir()
        trust_test_ca(build)
        with Nginx.demo(served, build=build):
            code, lines = run_test_mode(target, build, exe=self.out_a / "TolbexSetup.exe")
        self.assertEqual(code, 0, lines)
        self.assertEqual((target / "installer.txt").read_bytes(), expected_report(target))
        for name, data in files.items():
            self.assertEqual((target / "Tolbex" / name).read_bytes(), data, name)


if __name__ == "__main__":
    unittest.main()
