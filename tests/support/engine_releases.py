"""Release folders for the update-engine tests. The ordinary ones are made by
`tolbex-publish release` (releases.py); the others are deliberately wrong, which the
release tool refuses to make, so their manifests are written by hand and signed with
tolbex-publish (sign, and keygen for a key nobody trusts).

    make_releases(root, build)   writes root/<name>/update/{manifest.json,manifest.sig,files}
                                 for every entry of RELEASES (or those named in only) and
                                 returns root
    HOSTILE_FAULTS               per release served by the hostile server: path -> behaviour
    hostile_routes(root)         the routes that serve those releases with their faults

The names and contents must agree with tests/e2e/engine_run_cases.cpp, which reads the
expected bytes back from the same folders.
"""
import shutil
import subprocess
import tempfile
from pathlib import Path

from bounds import bound
from harness import sha
from releases import DEMO_KEY_1 as DEMO_KEY
from releases import UPDATE_NAMES, publish_release, publish_tool
from servers import endless, reply, truncated



def content(release, name, size=None):
    """Bytes of a release file: its release and name repeated, every file of its own length."""
    size = size or 100 + 37 * (sum(name.encode()) % 7)
    seed = f"{release}/{name};".encode()
    return (seed * (size // len(seed) + 1))[:size]


# name: (version, listed names, {served name: bytes}, hash entries or None for the
# served files' own, signing). Signing is "demo", "none", "unknown" or "other_bytes"
# (a valid demo signature, but over the manifest without its final line break).
def _release(version, names, served=None, hashes=None, signing="demo", sizes=None):
    return dict(version=version, names=names, served=served, hashes=hashes, signing=signing,
                sizes=sizes or {})


RELEASES = {
    "full300": _release(300, UPDATE_NAMES),
    "unsigned": _release(300, ["tolbex.ini"], signing="none"),
    "unknown_key": _release(300, ["tolbex.ini"], signing="unknown"),
    "other_bytes": _release(300, ["tolbex.ini"], signing="other_bytes"),
    "unknown_name": _release(300, ["tolbex.ini", "tolbex_extra.dll"]),
    "folder_sub": _release(300, ["tolbex_core.dll", "tolbex.ini", "sub/tolbex.ini"]),
    "folder_parent": _release(300, ["tolbex_core.dll", "tolbex.ini", "..\\tolbex.ini"]),
    "folder_drive": _release(300, ["tolbex_core.dll", "tolbex.ini", "C:\\x\\tolbex.ini"]),
    "hash_missing": _release(300, ["tolbex_core.dll", "tolbex.ini"],
                             hashes=lambda h: {"tolbex_core.dll": h["tolbex_core.dll"]}),
    "hash_short": _release(300, ["tolbex.ini"], hashes=lambda h: {"tolbex.ini": h["tolbex.ini"][:63]}),
    "hash_spaced": _release(300, ["tolbex.ini"],
                            hashes=lambda h: {"tolbex.ini": " " + h["tolbex.ini"] + " "}),
    "hash_of_other_file": _release(300, ["tolbex_core.dll", "tolbex.ini"],
                                   hashes=lambda h: {"tolbex_core.dll": h["tolbex_core.dll"],
                                                     "tolbex.ini": h["tolbex_core.dll"]}),
    "caps_spelled_lower": _release(300, ["TOLBEX_CORE.DLL"],
                                   hashes=lambda h: {"tolbex_core.dll": h["TOLBEX_CORE.DLL"]}),
    "size63": _release(300, ["tolbex.ini"], sizes={"tolbex.ini": 63}),
    "not_served": _release(300, ["tolbex_core.dll", "tolbex.ini"],
                           served=["tolbex_core.dll"]),
    "accepted_edges": _release(300, ["tolbex.ini", "TOLBEX_CORE.DLL"], sizes={"tolbex.ini": 64},
                               hashes=lambda h: {"tolbex.ini": h["tolbex.ini"].upper(),
                                                 "TOLBEX_CORE.DLL": h["TOLBEX_CORE.DLL"]}),
    "empty_list": _release(300, []),
    "old298": _release(298, ["tolbex_core.dll", "tolbex.ini"]),
    "same299": _release(299, ["tolbex_launcher.exe", "tolbex_core.dll", "tolbex.ini"],
                        hashes=lambda h: dict(h, **{"tolbex.ini": h["tolbex.ini"].upper()})),
    "no_launcher": _release(300, ["tolbex_core.dll", "tolbex.ini"]),
    "launcher_ini": _release(300, ["tolbex_launcher.exe", "tolbex.ini"]),
    # A name listed twice, exactly or in another case, and then a file the duplicates test
    # holds open. Nothing is served: a download before the refusal would be refused first.
    "twice_exact": _release(300, ["tolbex.ini", "tolbex_launcher.exe", "tolbex.ini"], served=[]),
    "twice_case": _release(300, ["tolbex.ini", "TOLBEX.INI"], served=[]),
    "twice_then_held": _release(300, ["tolbex.ini", "TOLBEX.INI", "tolbex_core.dll"], served=[]),
    # Served by the hostile server, with the faults of HOSTILE_FAULTS.
    "status500": _release(300, ["tolbex.ini", "tolbex_core.dll"]),
    "truncated": _release(300, ["tolbex.ini"], sizes={"tolbex.ini": 300}),
    "endless": _release(300, ["tolbex.ini"]),
    "manifest500": _release(300, ["tolbex.ini"]),
}

HOSTILE_FAULTS = {
    "status500": {"tolbex_core.dll": lambda body: reply(500, b"kapot")},
    "truncated": {"tolbex.ini": lambda body: truncated(body[:100], len(body))},
    "endless": {"tolbex.ini": lambda body: endless(chunk=1 << 20)},
    "manifest500": {"manifest.json": lambda body: reply(500, b"kapot")},
}


def manifest_text(version, names, hashes):
    """The plain shape a server writes; names go in as they stand, backslashes included."""
    files = ", ".join(f'"{n}"' for n in names)
    entries = ", ".join(f'"{k}": "{v}"' for k, v in hashes.items())
    return f'{{"version": {version}, "files": [{files}], "sha256": {{{entries}}}}}\n'.encode()


class _Signer:
    def __init__(self, build, scratch):
        self.tool = publish_tool(build)
        self.unknown_key = Path(scratch) / "unknown.pem"
        self._run("keygen", self.unknown_key)

    def _run(self, *args):
        subprocess.run([str(self.tool)] + [str(a) for a in args], check=True, capture_output=True,
                       timeout=bound(60))

    def sign(self, manifest, key):
        """The tool writes manifest.json.sig beside it; a server publishes manifest.sig."""
        self._run("sign", key, manifest)
        Path(str(manifest) + ".sig").replace(manifest.with_name("manifest.sig"))


def _ordinary(plan):
    """A whole, honestly signed release the release tool makes as it stands."""
    return (plan["names"] and plan["signing"] == "demo" and plan["hashes"] is None
            and plan["served"] is None and set(plan["names"]) <= set(UPDATE_NAMES)
            and all(size >= 64 for size in plan["sizes"].values()))


def _publish_release(update, name, plan, signer, scratch):
    files = Path(scratch) / name
    files.mkdir()
    for n in plan["names"]:
        (files / n).write_bytes(content(name, n, plan["sizes"].get(n)))
    version = plan["version"]
    extra = [] if "tolbex_launcher.exe" in plan["names"] else ["--without-launcher"]
    made = publish_release(signer.tool, update.parent, [files / n for n in plan["names"]],
                           version=f"{version // 100}.{version // 10 % 10}.{version % 10}",
                           key=DEMO_KEY, extra=extra)
    if made.returncode != 0:
        raise RuntimeError(f"release {name}: {made.stderr}")


def _write_release(update, name, plan, signer):
    names = plan["names"]
    served_names = plan["served"] if plan["served"] is not None else names
    bodies = {n: content(name, n, plan["sizes"].get(n)) for n in names}
    own = {n: sha(b) for n, b in bodies.items()}
    hashes = plan["hashes"](own) if plan["hashes"] else own
    for n in served_names:
        if "/" not in n and "\\" not in n:
            (update / n).write_bytes(bodies[n])
    manifest = update / "manifest.json"
    text = manifest_text(plan["version"], names, hashes)
    signing = plan["signing"]
    if signing == "none":
        manifest.write_bytes(text)
        return
    manifest.write_bytes(text[:-1] if signing == "other_bytes" else text)
    signer.sign(manifest, signer.unknown_key if signing == "unknown" else DEMO_KEY)
    manifest.write_bytes(text)


def make_releases(root, build, only=None):
    """only: the names of RELEASES to make, else all of them."""
    root = Path(root)
    shutil.rmtree(root, ignore_errors=True)
    with tempfile.TemporaryDirectory(prefix="tolbex-engine-keys-") as scratch:
        signer = _Signer(build, scratch)
        for name, plan in RELEASES.items():
            if only is not None and name not in only:
                continue
            update = root / name / "update"
            if _ordinary(plan):
                update.parent.mkdir(parents=True)
                _publish_release(update, name, plan, signer, scratch)
            else:
                update.mkdir(parents=True)
                _write_release(update, name, plan, signer)
    return root


def hostile_routes(root):
    routes = {}
    for name, faults in HOSTILE_FAULTS.items():
        for path in sorted((Path(root) / name / "update").iterdir()):
            body = path.read_bytes()
            fault = faults.get(path.name)
            routes[f"/{name}/update/{path.name}"] = fault(body) if fault else reply(200, body)
    return routes
