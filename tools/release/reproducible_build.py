"""Building TolbexSetup.exe for a deployment in a fresh folder.

The sources are the committed tree of one commit (git archive), not the working tree,
so a release is exactly what that commit holds, whatever else lies in the checkout.
Outside a git checkout the tree is built as it is.

Byte-identical output across folders, times and umasks comes from the build flags in
cmake/windows.cmake (no PE time stamp, folders mapped out of file names, ar D); this
module adds a fixed locale and time zone so that nothing of the caller's session leaks
into the tools' output.
"""
import io
import os
import subprocess
import tarfile
from pathlib import Path


def git(source_dir, *args):
    result = subprocess.run(["git", "-C", str(source_dir), *args], capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else None


def commit_of(source_dir):
    """The full hash of HEAD, or None outside a git checkout."""
    return git(source_dir, "rev-parse", "--verify", "HEAD")


def has_uncommitted_changes(source_dir):
    return bool(git(source_dir, "status", "--porcelain", "--untracked-files=no"))


def export_commit(source_dir, commit, target):
    """Unpacks the tree of commit into target. Returns None or an error message."""
    result = subprocess.run(["git", "-C", str(source_dir), "archive", "--format=tar", commit],
                            capture_output=True)
    if result.returncode != 0:
        return f"git archive {commit} failed: {result.stderr.decode(errors='replace').strip()}"
    with tarfile.open(fileobj=io.BytesIO(result.stdout)) as archive:
        archive.extractall(target, filter="data")
    return None


def build_env():
    env = dict(os.environ)
    env.update({"LC_ALL": "C", "TZ": "UTC"})
    return env


def build_setup(source_dir, build_dir, values, log_path):
    """Configures build_dir with the windows preset's toolchain and the deployment values and
    builds only TolbexSetup. Returns the exe's path, or None (the tools' output is in log_path)."""
    defines = [f"-D{name}={value}" for name, value in values.items()]
    steps = [["cmake", "--preset", "windows", "-B", str(build_dir), *defines],
             ["cmake", "--build", str(build_dir), "--target", "TolbexSetup", "-j2"]]
    with open(log_path, "w") as log:
        for step in steps:
            log.write("$ " + " ".join(step) + "\n")
            log.flush()
            if subprocess.run(step, cwd=source_dir, stdout=log, stderr=subprocess.STDOUT,
                              env=build_env()).returncode != 0:
                return None
    exe = Path(build_dir) / "TolbexSetup.exe"
    return exe if exe.is_file() else None
