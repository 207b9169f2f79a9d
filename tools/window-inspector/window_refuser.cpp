// window-refuser.dll: a CBT hook that makes CreateWindowExW fail inside the installer,
// so the tests can see what the installer does when it cannot build its window.
//
// window-inspector's "refuse" command installs the hook for every process on the desktop.
// Windows (and Wine) then load this DLL into each process that creates a window, but it
// only acts in a process whose environment has TOLBEX_REFUSE_WINDOWS:
//   main      refuse the installer's top-level window (class TolbexInstaller);
//   controls  refuse every child of that window, so the window itself is made first.
// Any other window, a message box included, is left alone.
#include <windows.h>

#include <cwchar>

namespace {

enum class Refuse { Nothing, Main, Controls };

Refuse Mode() {
    wchar_t text[16] = {};
    if (!GetEnvironmentVariableW(L"TOLBEX_REFUSE_WINDOWS", text, 16))
        return Refuse::Nothing;
    if (std::wcscmp(text, L"main") == 0)
        return Refuse::Main;
    if (std::wcscmp(text, L"controls") == 0)
        return Refuse::Controls;
    return Refuse::Nothing;
}

bool IsInstallerClass(HWND window) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && std::wcscmp(name, L"TolbexInstaller") == 0;
}

}  // namespace

// Returning non-zero for HCBT_CREATEWND makes the pending CreateWindowExW return null.
extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseCbtProc(int code, WPARAM wParam,
                                                                LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        static const Refuse mode = Mode();
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        const HWND window = reinterpret_cast<HWND>(wParam);
        if ((mode == Refuse::Main && IsInstallerClass(window)) ||
            (mode == Refuse::Controls && IsInstallerClass(create->lpcs->hwndParent))) {
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
