// write_fault_probe.exe FOLDER: the test mode's installation (RunTestMode, as
// "TolbexSetup.exe --proef FOLDER" runs it) with the write phase's Windows calls watched
// through this program's import table, for tests/e2e/write_faults_test.py.
//
// Counted, when they touch FOLDER\Tolbex (the report beside it is not the write phase):
//   create   CreateFileW for writing that creates or truncates (a temporary file)
//   probe    CreateFileW for writing an existing file (is the target in use?)
//   write    WriteFile, flush FlushFileBuffers   on handles of those opens
//   rename   MoveFileExW, delete DeleteFileW
// Environment:
//   TOLBEX_FAULT=OP:N:fail   the N-th call of OP fails (that one call only), with a code
//                            that fits it: 5 for an open, rename or delete, 112 for a
//                            write, 1117 for a flush
//   TOLBEX_FAULT=OP:N:kill   the process ends (exit code 77) instead of making that call
//   TOLBEX_HOLD=NAME         FOLDER\Tolbex\NAME is held open during the run the way a
//                            loaded DLL is: read access, read and delete sharing
// Prints "calls create=.. probe=.. write=.. flush=.. rename=.. delete=.. injected=.."
// and returns RunTestMode's exit code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>

#include "app/test_mode.h"
#include "common/handles.h"
#include "common/path_rules.h"
#include "import_patch.h"

namespace {

enum Op { kCreate, kProbe, kWrite, kFlush, kRename, kDelete, kOps };
const char* const kOpNames[kOps] = {"create", "probe", "write", "flush", "rename", "delete"};
const DWORD kFaultCodes[kOps] = {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_DISK_FULL,
                                 ERROR_IO_DEVICE,     ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED};

struct Fault {
    int op = -1;
    int n = 0;
    bool kill = false;
};

Fault g_fault;
int g_calls[kOps] = {};
int g_injected = 0;
WideString g_installDir;
std::set<HANDLE> g_watched;

decltype(&CreateFileW) RealCreateFileW;
decltype(&WriteFile) RealWriteFile;
decltype(&FlushFileBuffers) RealFlushFileBuffers;
decltype(&MoveFileExW) RealMoveFileExW;
decltype(&DeleteFileW) RealDeleteFileW;
decltype(&CloseHandle) RealCloseHandle;

bool InInstallDir(const wchar_t* path) {
    const std::size_t n = g_installDir.size();
    return path && _wcsnicmp(path, g_installDir.c_str(), n) == 0 && IsPathSeparator(path[n]);
}

// Counts the call; true when it is the one to fail (the code is then set). Ends the
// process when it is the one to kill.
bool Faulted(Op op) {
    const int n = ++g_calls[op];
    if (g_fault.op != op || g_fault.n != n)
        return false;
    ++g_injected;
    if (g_fault.kill) {
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 77);
    }
    SetLastError(kFaultCodes[op]);
    return true;
}

HANDLE WINAPI WatchedCreateFileW(LPCWSTR path, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE tmpl) {
    if ((access & GENERIC_WRITE) && InInstallDir(path)) {
        const Op op = disposition == OPEN_EXISTING ? kProbe : kCreate;
        if (Faulted(op))
            return INVALID_HANDLE_VALUE;
        const HANDLE file =
            RealCreateFileW(path, access, share, security, disposition, flags, tmpl);
        if (file != INVALID_HANDLE_VALUE)
            g_watched.insert(file);
        return file;
    }
    return RealCreateFileW(path, access, share, security, disposition, flags, tmpl);
}

BOOL WINAPI WatchedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                             LPOVERLAPPED overlapped) {
    if (g_watched.count(file) && Faulted(kWrite)) {
        if (written)
            *written = 0;
        return FALSE;
    }
    return RealWriteFile(file, data, size, written, overlapped);
}

BOOL WINAPI WatchedFlushFileBuffers(HANDLE file) {
    if (g_watched.count(file) && Faulted(kFlush))
        return FALSE;
    return RealFlushFileBuffers(file);
}

BOOL WINAPI WatchedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if ((InInstallDir(from) || InInstallDir(to)) && Faulted(kRename))
        return FALSE;
    return RealMoveFileExW(from, to, flags);
}

BOOL WINAPI WatchedDeleteFileW(LPCWSTR path) {
    if (InInstallDir(path) && Faulted(kDelete))
        return FALSE;
    return RealDeleteFileW(path);
}

// A closed handle's value is soon handed out again (to the report, say): it stops
// being watched when it closes.
BOOL WINAPI WatchedCloseHandle(HANDLE handle) {
    g_watched.erase(handle);
    return RealCloseHandle(handle);
}

template <typename F>
void Patch(const char* name, F replacement, F& real) {
    real = reinterpret_cast<F>(
        test_support::PatchImport("kernel32.dll", name, reinterpret_cast<void*>(replacement)));
    if (!real) {
        std::fprintf(stderr, "no import of %s to watch\n", name);
        std::exit(3);
    }
}

Fault ParseFault(const char* text) {
    Fault fault;
    if (!text)
        return fault;
    char op[16] = {}, mode[8] = {};
    if (std::sscanf(text, "%15[a-z]:%d:%7[a-z]", op, &fault.n, mode) != 3)
        std::exit(3);
    for (int i = 0; i < kOps; ++i) {
        if (std::string(op) == kOpNames[i])
            fault.op = i;
    }
    fault.kill = std::string(mode) == "kill";
    if (fault.op < 0)
        std::exit(3);
    return fault;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    const WideString folder = argv[1];
    g_installDir = PathJoin(folder, L"Tolbex");
    g_fault = ParseFault(std::getenv("TOLBEX_FAULT"));

    FileHandle held;
    if (const wchar_t* hold = _wgetenv(L"TOLBEX_HOLD")) {
        held = FileHandle(CreateFileW(PathJoin(g_installDir, hold).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      0, nullptr));
        if (!held)
            return 4;
    }

    Patch("CreateFileW", &WatchedCreateFileW, RealCreateFileW);
    Patch("WriteFile", &WatchedWriteFile, RealWriteFile);
    Patch("FlushFileBuffers", &WatchedFlushFileBuffers, RealFlushFileBuffers);
    Patch("MoveFileExW", &WatchedMoveFileExW, RealMoveFileExW);
    Patch("DeleteFileW", &WatchedDeleteFileW, RealDeleteFileW);
    Patch("CloseHandle", &WatchedCloseHandle, RealCloseHandle);

    const int code = RunTestMode(folder);
    std::printf("calls");
    for (int i = 0; i < kOps; ++i) std::printf(" %s=%d", kOpNames[i], g_calls[i]);
    std::printf(" injected=%d\n", g_injected);
    return code;
}
