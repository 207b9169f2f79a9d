"""The manifest signature check under Wine, fed by the publisher's own tool.

Signatures come from tolbex-publish (the host build in <build>/host-tools) with the demo
keys that a test build compiles in; a key from its keygen stands for a key nobody trusts.
signature_probe.exe (see signature_probe.cpp) answers 1 or 0 per case.
"""
import subprocess
import tempfile
import unittest
from pathlib import Path

from bounds import bound
from harness import SOURCE_DIR, Build, wine_run, win_path
from releases import publish_tool
from servers import Nginx

BUILD = Build()
PROBE = BUILD.path("tests/signature_probe.exe")
PUBLISH = publish_tool(BUILD)
DEMO_KEYS = SOURCE_DIR / "demo" / "keys"
ORDER = int("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551", 16)
MANIFEST = (b'{\r\n  "version": "3.0.0",\r\n  "files": [\r\n    {"name": "tolbex_core.dll", '
            b'"sha256": "' + b"ab" * 32 + b'"}\r\n  ]\r\n}\r\n')


def publish(*args):
    return subprocess.run([str(PUBLISH)] + [str(a) for a in args], capture_output=True,
                          check=True, text=True, timeout=bound(60))


def probe(*args):
    result = wine_run([PROBE] + list(args), build=BUILD)
    return result.stdout.decode().split()


def with_r_s(signature_hex, r=None, s=None):
    old_r, old_s = int(signature_hex[:64], 16), int(signature_hex[64:128], 16)
    r, s = old_r if r is None else r, old_s if s is None else s
    return f"{r:064x}{s:064x}"


class ManifestSignatureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="tolbex-sig-")
        cls.dir = Path(cls.tmp.name)
        cls.signatures = {}
        for name, key in (("key1", DEMO_KEYS / "demo-key-1.pem"),
                          ("key2", DEMO_KEYS / "demo-key-2.pem"),
                          ("stranger", cls.dir / "stranger.pem")):
            if name == "stranger":
                cls.stranger_blob = publish("keygen", key).stdout.strip()
            cls.signatures[name] = cls.sign(key, MANIFEST)
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    @classmethod
    def sign(cls, key, manifest):
        path = cls.dir / "to-sign.json"
        path.write_bytes(manifest)
        publish("sign", key, path)
        return Path(str(path) + ".sig").read_text()

    def files(self, manifest, signature):
        """Writes one case's pair of files and gives their Windows paths."""
        self.__class__.count += 1
        m = self.dir / f"case{self.count}.json"
        s = self.dir / f"case{self.count}.sig"
        m.write_bytes(manifest)
        s.write_bytes(signature if isinstance(signature, bytes) else signature.encode("latin-1"))
        return [win_path(m), win_path(s)]

    def check_table(self, cases):
        args = []
        for _, manifest, signature, _ in cases:
            args += self.files(manifest, signature)
        answers = probe("check", *args)
        self.assertEqual(len(answers), len(cases))
        for (name, _, _, wanted), answer in zip(cases, answers):
            with self.subTest(name):
                self.assertEqual(answer, "1" if wanted else "0")

    def test_accepts_either_demo_key_in_any_spelling(self):
        one, two = self.signatures["key1"], self.signatures["key2"]
        digits = one.strip()
        self.assertRegex(one, r"^[0-9a-f]{128}\n$")  # the tool's own output form
        self.check_table([
            ("first key, with the tool's line feed", MANIFEST, one, True),
            ("second key after the first fails", MANIFEST, two, True),
            ("bare 128 digits", MANIFEST, digits, True),
            ("two lines of 64", MANIFEST, digits[:64] + "\r\n" + digits[64:] + "\r\n", True),
            ("uppercase digits", MANIFEST, digits.upper(), True),
            ("white space inside and around", MANIFEST, "  " + " ".join(digits) + "\t\n", True),
        ])

    def test_refuses_malformed_and_foreign_signatures(self):
        digits = self.signatures["key1"].strip()
        der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", DEMO_KEYS / "demo-key-1.pem"],
                             input=MANIFEST, capture_output=True, check=True).stdout.hex()
        self.check_table([
            ("a key nobody compiled in", MANIFEST, self.signatures["stranger"], False),
            ("DER encoding of a valid signature", MANIFEST, der, False),
            ("odd number of digits", MANIFEST, digits[:-1], False),
            ("one digit more", MANIFEST, digits + "0", False),
            ("letter beyond f", MANIFEST, digits[:10] + "g" + digits[11:], False),
            ("empty text", MANIFEST, "", False),
            ("r zero", MANIFEST, with_r_s(digits, r=0), False),
            ("s zero", MANIFEST, with_r_s(digits, s=0), False),
            ("r the curve order", MANIFEST, with_r_s(digits, r=ORDER), False),
            ("s the curve order", MANIFEST, with_r_s(digits, s=ORDER), False),
            ("s all ones", MANIFEST, with_r_s(digits, s=2 ** 256 - 1), False),
            ("r and s swapped", MANIFEST, digits[64:] + digits[:64], False),
        ])

    def test_refuses_a_manifest_with_any_byte_changed(self):
        one = self.signatures["key1"]
        cases = [(f"byte {i} flipped", MANIFEST[:i] + bytes([MANIFEST[i] ^ 0x01]) + MANIFEST[i + 1:],
                  one, False) for i in range(len(MANIFEST))]
        cases += [
            ("line ends converted to LF", MANIFEST.replace(b"\r\n", b"\n"), one, False),
            ("a byte appended", MANIFEST + b"\n", one, False),
            ("last byte removed", MANIFEST[:-1], one, False),
            ("byte-order mark added", b"\xef\xbb\xbf" + MANIFEST, one, False),
            ("unchanged", MANIFEST, one, True),
        ]
        self.check_table(cases)

    def test_the_update_road_bounds_the_signature_file(self):
        digits = self.signatures["key2"].strip()
        root = self.dir / "www"
        (root / "update").mkdir(parents=True)
        (root / "update" / "manifest.json").write_bytes(MANIFEST)
        (root / "update" / "256.sig").write_text(digits + "\n" * 128)
        (root / "update" / "257.sig").write_text(digits + "\n" * 129)
        with Nginx(root, http_port=0) as web:
            base = web.http_url + "/update/"
            self.assertEqual(probe("fetch", base + "manifest.json", base + "256.sig"), ["1"])
            self.assertEqual(probe("fetch", base + "manifest.json", base + "257.sig"), ["0"])
            self.assertEqual(probe("fetch", base + "manifest.json", base + "missing.sig"), ["0"])


class PublisherAgreesWithInstallerTest(unittest.TestCase):
    def test_keygen_blob_is_the_key_and_verifies_through_cng(self):
        with tempfile.TemporaryDirectory(prefix="tolbex-keygen-") as tmp:
            key = Path(tmp, "fresh.pem")
            blob = publish("keygen", key).stdout.strip()
            der = subprocess.run(["openssl", "ec", "-in", key, "-pubout", "-outform", "DER"],
                                 capture_output=True, check=True).stdout
            # The DER SubjectPublicKeyInfo ends in the uncompressed point 04 || X || Y.
            self.assertEqual(der[-65], 4)
            self.assertEqual(blob, "45435331" + "20000000" + der[-64:].hex())
            manifest = Path(tmp, "manifest.json")
            manifest.write_bytes(MANIFEST)
            publish("sign", key, manifest)
            sig = win_path(str(manifest) + ".sig")
            # The fresh key verifies through CNG with its printed blob, and is not one of
            # the compiled-in keys.
            self.assertEqual(probe("blob", blob, win_path(manifest), sig), ["1"])
            self.assertEqual(probe("check", win_path(manifest), sig), ["0"])


if __name__ == "__main__":
    unittest.main()
