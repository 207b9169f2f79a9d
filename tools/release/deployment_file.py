"""Reading a deployment file and telling whether it is fit for players.

A deployment file names the four values compiled into TolbexSetup.exe and, optionally,
what the Authenticode signature says about the program. One KEY=VALUE a line; blank
lines and lines starting with # are skipped; the value is the rest of the line after
the first '=', with the white space around it removed (no quotes, no inline comments):

    # Tolbex for the players of example.org
    TOLBEX_UPDATE_SERVER_1=https://updates.example.org
    TOLBEX_UPDATE_SERVER_2=http://mirror.example.org:39706
    TOLBEX_MANIFEST_KEY_1=4543533120000000...
    TOLBEX_MANIFEST_KEY_2=4543533120000000...
    SIGN_URL=https://tolbex.example.org
    SIGN_DESCRIPTION=Tolbex Setup

The shape of the four values (URL form, 144 hex digits, the ECS1 header) is checked by
cmake/deployment.cmake when the build is configured; this reader checks only that each
is given once, and that nothing else is.
"""
import ipaddress
import re
import socket
from pathlib import Path
from urllib.parse import urlsplit

BUILD_KEYS = ("TOLBEX_UPDATE_SERVER_1", "TOLBEX_UPDATE_SERVER_2",
              "TOLBEX_MANIFEST_KEY_1", "TOLBEX_MANIFEST_KEY_2")
SIGN_KEYS = ("SIGN_URL", "SIGN_DESCRIPTION")


def read_deployment(path):
    """Returns (values, None) or (None, message). values maps each key given to its text."""
    try:
        text = Path(path).read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as e:
        return None, f"{path}: cannot read the deployment file: {e}"
    values = {}
    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        key, sep, value = line.partition("=")
        key = key.strip()
        where = f"{path}:{number}"
        if not sep:
            return None, f"{where}: expected KEY=VALUE, found '{line}'"
        if key not in BUILD_KEYS + SIGN_KEYS:
            return None, f"{where}: unknown key '{key}' (known: {', '.join(BUILD_KEYS + SIGN_KEYS)})"
        if key in values:
            return None, f"{where}: {key} is given a second time"
        values[key] = value.strip()
    missing = [k for k in BUILD_KEYS if not values.get(k)]
    if missing:
        return None, f"{path}: no value for {', '.join(missing)}"
    return values, None


def demo_keys(source_dir):
    """The demo deployment's two public keys, as cmake/deployment.cmake sets them (lowercase)."""
    text = (Path(source_dir) / "cmake" / "deployment.cmake").read_text(encoding="utf-8")
    return {int(n): key.lower()
            for n, key in re.findall(r'set\(TOLBEX_DEMO_KEY_([12]) "([0-9a-fA-F]+)"\)', text)}


def is_loopback_host(host):
    """localhost and its subdomains, 127.0.0.0/8 (also short forms such as 127.1) and ::1."""
    host = (host or "").lower().rstrip(".")
    if host == "localhost" or host.endswith(".localhost"):
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        pass
    try:
        # inet_aton reads the short IPv4 forms that Windows' resolver accepts too.
        return ipaddress.ip_address(socket.inet_aton(host)).is_loopback
    except OSError:
        return False


def demo_reasons(values, source_dir):
    """Why this deployment is not fit for players: demo keys and loopback servers. Empty if fit."""
    reasons = []
    demo = demo_keys(source_dir)
    for key_name in BUILD_KEYS[2:]:
        for number, demo_key in sorted(demo.items()):
            if values[key_name].lower() == demo_key:
                reasons.append(f"{key_name} is demo key {number}, whose private half is public "
                               f"in demo/keys")
    for server_name in BUILD_KEYS[:2]:
        try:
            host = urlsplit(values[server_name]).hostname
        except ValueError:
            continue  # not a URL at all: the configure step names the fault
        if is_loopback_host(host):
            reasons.append(f"{server_name} is a loopback server ({values[server_name]}), "
                           f"which players' machines cannot reach")
    return reasons
