"""Authenticode signing of the release exe with osslsigncode.

The signature names the program (-n, shown by Windows as the program name in the
elevation and download prompts) and a URL about it (-i). The digest is SHA-256.

Time stamp: with a time-stamping server (RFC 3161, -ts URL) the signature stays valid
after the certificate expires, because the server vouches that the signing happened
while the certificate was valid. osslsigncode fails the whole signing when it cannot
reach that server, so a failed signing with a server is tried once more without one;
the caller is told, and says so to the publisher.
"""
import subprocess
from pathlib import Path


class Signer:
    """The code-signing key and certificate: a PKCS#12 file with its password file, or a PEM pair."""

    def __init__(self, pkcs12=None, pass_file=None, key=None, cert=None):
        self.pkcs12, self.pass_file, self.key, self.cert = pkcs12, pass_file, key, cert

    def key_arguments(self):
        if self.pkcs12:
            return ["-pkcs12", str(self.pkcs12), "-readpass", str(self.pass_file)]
        return ["-key", str(self.key), "-certs", str(self.cert)]

    def files(self):
        return [f for f in (self.pkcs12, self.pass_file, self.key, self.cert) if f]


def _run_sign(signer, description, url, timestamp, unsigned, signed):
    Path(signed).unlink(missing_ok=True)  # osslsigncode refuses to overwrite, and may leave a partial file
    command = ["osslsigncode", "sign", *signer.key_arguments(), "-h", "sha256",
               "-n", description, "-i", url]
    if timestamp:
        command += ["-ts", timestamp]
    command += ["-in", str(unsigned), "-out", str(signed)]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        Path(signed).unlink(missing_ok=True)
    return result


def sign_exe(signer, description, url, timestamp, unsigned, signed):
    """Signs unsigned into signed. Returns (stamped, error): stamped is True when the
    signature carries a time stamp; error is None on success, else osslsigncode's output."""
    if timestamp:
        result = _run_sign(signer, description, url, timestamp, unsigned, signed)
        if result.returncode == 0:
            return True, None
    result = _run_sign(signer, description, url, None, unsigned, signed)
    if result.returncode == 0:
        return False, None
    return False, (result.stdout + result.stderr).strip()
