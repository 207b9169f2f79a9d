// window-refuser.dll: makes the installer's window or its worker thread fail to start, so
// the tests can see what the installer does when the platform refuses them.
//
// window-inspector's "refuse" command installs this DLL's CBT hook for every process on
// the desktop. Windows (and Wine) then load the DLL into each process that creates a
// window, but it only acts in a process whose environment has TOLBEX_REFUSE:
//   window    refuse the installer's top-level window (class TolbexInstaller);
//   controls  refuse every child of that window, so the window itself is made first;
//   thread    let the windows be, but make the program's CreateThread fail with
//             ERROR_NOT_ENOUGH_MEMORY, by pointing its import at a stand-in on load.
// Any other window, a message box included, is left alone.
#include <windows.h>

#include <cwchar>

#include "import_patch.h"

namespace {

enum class Refuse { Nothing, Window, Controls, Thread };

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
    return Refuse::Nothing;
}

HANDLE WINAPI FailingCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                  DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Points the program's own import of KERNEL32!CreateThread at FailingCreateThread.
void RefuseThreads() {
    test_support::PatchImport("kernel32.dll", "CreateThread",
                              reinterpret_cast<void*>(&FailingCreateThread));
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
    if (reason == DLL_PROCESS_ATTACH && Mode() == Refuse::Thread)
        RefuseThreads();
    return TRUE;
}
