"""A wineserver of the test's own, on a private copy of the build's Wine prefix, which a
test may kill without touching any other test's Wine processes.

    server = OwnWineServer(build, scratch)   copies build.prefix to scratch/prefix and points
                                             build at it
    server.start(kill_at=("rename", 3), watch=paths)
        starts `wineserver -f -p` and, with kill_at, traces it with strace so that it is
        killed (SIGKILL) just before its 3rd rename(2) of one of the paths in watch
    server.run(args, env)       runs a Windows program; (exit code, stdout text). stdout
                                goes through a file: Wine's own helper processes keep a
                                persistent server's pipes open
    server.start_program(args)  the same, not waited for; a Popen
    server.killed()             whether the traced server died from the injection
    server.stop()               ends the server and every process of the prefix, by pid
    server.calls()              the traced (syscall, path) pairs of the last start

The wineserver performs every rename and unlink of its clients, so killing it before the
N-th such call is an exact crash there, of every process of the prefix at once, as a
power cut or a forced log-off would be. Its clients then hang and are ended by their pids
(every Wine process among the test's descendants).
"""
import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from bounds import bound
from harness import WINE_RUN

TRACED = "rename,renameat,renameat2,unlink,unlinkat"
_CALL = re.compile(r'^(?:\d+\s+)?(\w+)\((?:AT_FDCWD, )?"([^"]*)"')


class OwnWineServer:
    def __init__(self, build, scratch):
        self.build = build
        self.scratch = Path(scratch)
        self.prefix = self.scratch / "prefix"
        shutil.copytree(build.prefix, self.prefix, symlinks=True)
        build.prefix = self.prefix
        self.trace = self.scratch / "strace.txt"
        # Wine's helper processes outlive their parents; as subreaper this process gets
        # them back, so they can be found among its descendants and ended.
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
        self._server = self._strace = None
        self._injected = False

    def env(self, extra=None):
        env = self.build.env(extra)
        env.setdefault("WINEDEBUG", "-all")
        return env

    def start(self, kill_at=None, watch=()):
        self.trace.unlink(missing_ok=True)
        self._server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env(),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._injected = kill_at is not None
        if watch:
            args = ["strace", "-f", "-p", str(self._server.pid), "-o", str(self.trace), "-e",
                    f"trace={TRACED}"]
            if kill_at:
                args += ["-e", f"inject={kill_at[0]}:signal=SIGKILL:when={kill_at[1]}"]
            for path in watch:
                args += ["-P", str(path)]
            self._strace = subprocess.Popen(args, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.PIPE, text=True)
            # strace says so once it is attached; only then may a client start.
            self._strace.stderr.readline()

    def _output(self):
        return tempfile.NamedTemporaryFile(dir=self.scratch, prefix="out-", delete=False)

    def start_program(self, args, env=None):
        out = self._output()
        proc = subprocess.Popen([str(WINE_RUN)] + [str(a) for a in args], env=self.env(env),
                                stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.PIPE)
        proc.output_path = out.name
        out.close()
        return proc

    def finish(self, proc, timeout=bound(60)):
        """Waits for proc, or for the server to die of the injection; (code, stdout)."""
        deadline = time.time() + timeout
        while proc.poll() is None and time.time() < deadline:
            if self._injected and self._server.poll() is not None:
                break
            time.sleep(0.1)
        if proc.poll() is None:
            self._end_clients()
            proc.wait(30)
        if proc.stdin:
            proc.stdin.close()
        text = Path(proc.output_path).read_text("utf-8", "replace")
        os.unlink(proc.output_path)
        return proc.returncode, text

    def run(self, args, env=None, timeout=bound(60)):
        return self.finish(self.start_program(args, env), timeout)

    def killed(self):
        return self._server is not None and self._server.poll() == -signal.SIGKILL

    def calls(self):
        if not self.trace.exists():
            return []
        found = (_CALL.match(line) for line in self.trace.read_text().splitlines())
        return [(m.group(1), m.group(2)) for m in found if m]

    def _wine_descendants(self):
        """This process's descendants that run Wine (orphans come back to it: it is their
        subreaper), so nothing of another test is ever touched."""
        parents, exes = {}, {}
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                stat = (entry / "stat").read_text()
                parents[int(entry.name)] = int(stat[stat.rindex(")") + 2:].split()[1])
            except (OSError, ValueError):
                continue
            try:
                exes[int(entry.name)] = os.readlink(entry / "exe")
            except OSError:
                # A Wine process whose main thread ended when its server died: a zombie
                # leader whose other threads still wait on the server's pipe.
                exes[int(entry.name)] = "wine (main thread gone)"
        mine, grown = {os.getpid()}, True
        while grown:
            grown = False
            for pid, parent in parents.items():
                if parent in mine and pid not in mine:
                    mine.add(pid)
                    grown = True
        return [pid for pid in mine if "wine" in os.path.basename(exes.get(pid, ""))
                and pid != os.getpid()]

    def _end_clients(self):
        for pid in self._wine_descendants():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def stop(self):
        if self._server and self._server.poll() is None:
            subprocess.run(["wineserver", "-k"], env=self.env(), timeout=bound(60),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                self._server.wait(30)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait(10)
        self._end_clients()
        if self._strace:
            if self._strace.poll() is None:
                self._strace.terminate()
            self._strace.wait(30)
            self._strace.stderr.close()
            self._strace = None
        self._server = None
