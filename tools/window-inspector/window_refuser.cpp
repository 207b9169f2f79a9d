// window-refuser.dll: makes the installer's window or its worker thread fail to start, or
// its worker fail on the way, so the tests can see what the installer does when the
// platform refuses them.
//
// window-inspector's "refuse" command installs this DLL's CBT hook for every process on
// the desktop. Windows (and Wine) then load the DLL into each process that creates a
// window, but it only acts in a process whose environment has TOLBEX_REFUSE:
//   window    refuse the installer's top-level window (class TolbexInstaller);
//   controls  refuse every child of that window, so the window itself is made first;
//   thread    let the windows be, but make the program's CreateThread fail with
//             ERROR_NOT_ENOUGH_MEMORY, by pointing its import at a stand-in on load.
//   memory    make the program's first malloc on a thread started after the DLL was
//             loaded (with the window, so: the install worker) fail, so that operator
//             new throws std::bad_alloc inside the worker's run. Only that one: with
//             every allocation refused, the runtime could not even raise the exception.
//   post      make the program's PostMessageW of WM_APP + 1 (the worker's "done") fail
//             with ERROR_NOT_ENOUGH_QUOTA, as it does when the window's queue is full.
// Any other window, a message box included, is left alone.
#include <windows.h>

#include <cwchar>

#include "import_patch.h"

namespace {

enum class Refuse { Nothing, Window, Controls, Thread, Memory, Post };

Refuse Mode() {
    wchar_t text[16] = {};
    if (!GetEnvironmentVariableW(L"TOLBEX_REFUSE", text, 16))
        return Refuse::Nothing;
    if (std::wcscmp(text, L"window") == 0)
        return Refuse::Window;
    if (std::wcscmp(text, L"controls") == 0)
        return Refuse::Controls;
    if (std::wcscmp(text, L"thread") == 0)
        return Refuse::Thread;
    if (std::wcscmp(text, L"memory") == 0)
        return Refuse::Memory;
    if (std::wcscmp(text, L"post") == 0)
        return Refuse::Post;
    return Refuse::Nothing;
}

HANDLE WINAPI FailingCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                  DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Threads whose first allocation fails: those started after the DLL was loaded, marked
// until that allocation. A TLS slot rather than thread_local, which would itself allocate.
DWORD StarvedSlot = TLS_OUT_OF_INDEXES;
using MallocFunction = void* (*)(size_t);
MallocFunction RealMalloc = nullptr;

void* StarvingMalloc(size_t size) {
    const DWORD saved = GetLastError();
    const bool starved = TlsGetValue(StarvedSlot) != nullptr;
    if (starved)
        TlsSetValue(StarvedSlot, nullptr);
    SetLastError(saved);
    return starved ? nullptr : RealMalloc(size);
}

using PostFunction = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
PostFunction RealPostMessage = nullptr;

BOOL WINAPI RefusingPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 1) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return RealPostMessage(window, message, wParam, lParam);
}

void PatchForMode(Refuse mode) {
    if (mode == Refuse::Thread) {
        test_support::PatchImport("kernel32.dll", "CreateThread",
                                  reinterpret_cast<void*>(&FailingCreateThread));
    } else if (mode == Refuse::Memory) {
        StarvedSlot = TlsAlloc();
        RealMalloc = reinterpret_cast<MallocFunction>(test_support::PatchImport(
            "msvcrt.dll", "malloc", reinterpret_cast<void*>(&StarvingMalloc)));
    } else if (mode == Refuse::Post) {
        RealPostMessage = reinterpret_cast<PostFunction>(test_support::PatchImport(
            "user32.dll", "PostMessageW", reinterpret_cast<void*>(&RefusingPostMessage)));
    }
}

bool IsInstallerClass(HWND window) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && std::wcscmp(name, L"TolbexInstaller") == 0;
}

}  // namespace

// Returning non-zero for HCBT_CREATEWND makes the pending CreateWindowExW return null.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    RefuseCbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        static const Refuse mode = Mode();
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        const HWND window = reinterpret_cast<HWND>(wParam);
        if ((mode == Refuse::Window && IsInstallerClass(window)) ||
            (mode == Refuse::Controls && IsInstallerClass(create->lpcs->hwndParent))) {
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        PatchForMode(Mode());
    if (reason == DLL_THREAD_ATTACH && StarvedSlot != TLS_OUT_OF_INDEXES)
        TlsSetValue(StarvedSlot, reinterpret_cast<void*>(1));
    return TRUE;
}
