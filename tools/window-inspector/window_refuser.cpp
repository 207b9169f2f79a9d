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

#include <cstring>
#include <cwchar>

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
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; imports.VirtualAddress && entry->Name; ++entry) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), "kernel32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* named =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(named->Name), "CreateThread") != 0)
                continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(&FailingCreateThread);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        }
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
    if (reason == DLL_PROCESS_ATTACH && Mode() == Refuse::Thread)
        RefuseThreads();
    return TRUE;
}
