// window-inspector: looks at the installer from outside its process and prints what it
// finds, one "key value" line at a time (UTF-8, a line feed inside a text shown as \n).
//
//   window-inspector window   [--wait SECONDS]   the "TolbexInstaller" window and its children
//   window-inspector box      [--wait SECONDS]   the top-level dialog box titled "Tolbex"
//   window-inspector dialog TITLE [--wait SECONDS]  any top-level dialog box with that title
//   window-inspector gone     [--wait SECONDS]   exit 0 once no "TolbexInstaller" window exists
//   window-inspector shortcut FILE.lnk           target, working directory, description, args
//   window-inspector close                       posts WM_CLOSE to the installer window
//   window-inspector post WPARAM LPARAM          posts WM_APP + 1 (the worker's "done")
//                                                 to the installer window, as any program can
//
// Exit code 0 when the thing was found (or, for gone, has gone), 1 otherwise.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/handles.h"

namespace {

std::string Utf8(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\n') {
            escaped += L"\\n";
        } else if (c == L'\r') {
            escaped += L"\\r";
        } else {
            escaped += c;
        }
    }
    if (escaped.empty())
        return {};
    const int size = WideCharToMultiByte(
        CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), out.data(),
                        size, nullptr, nullptr);
    return out;
}

void Print(const char* key, const std::wstring& value) {
    std::printf("%s %s\n", key, Utf8(value).c_str());
}

// Sends with a time-out: a window whose thread is busy (inside a modal loop that has
// not started pumping, or being created) must not hang the inspector.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowTextW: the latter does not ask controls of another
    // process for their text.
    const LRESULT length = SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// A rectangle in the parent's client coordinates: "x y width height".
std::wstring RectInParent(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right - r.left) + L" " + std::to_wstring(r.bottom - r.top);
}

std::wstring Hex(LONG bits) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lx", static_cast<unsigned long>(bits));
    return text;
}

void PrintChild(HWND child, HWND parent) {
    std::printf("child\n");
    Print("  class", ClassOf(child));
    Print("  text", WindowText(child));
    Print("  id", std::to_wstring(GetDlgCtrlID(child)));
    Print("  style", Hex(GetWindowLongW(child, GWL_STYLE)));
    Print("  exstyle", Hex(GetWindowLongW(child, GWL_EXSTYLE)));
    Print("  rect", RectInParent(child, parent));
    Print("  visible", IsWindowVisible(child) ? L"1" : L"0");
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        children.push_back(c);
    }
    return children;
}

void PrintTopLevel(HWND window) {
    RECT client, outer;
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    wchar_t line[160];
    Print("title", WindowText(window));
    std::swprintf(line, 160, L"%ld %ld", client.right, client.bottom);
    Print("client", line);
    std::swprintf(line, 160, L"%ld %ld %ld %ld", outer.left, outer.top, outer.right - outer.left,
                  outer.bottom - outer.top);
    Print("window", line);
    std::swprintf(line, 160, L"%d %d", GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN));
    Print("screen", line);
    Print("style", Hex(GetWindowLongW(window, GWL_STYLE)));
    Print("exstyle", Hex(GetWindowLongW(window, GWL_EXSTYLE)));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const int focusId = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) &&
                                gui.hwndFocus && IsChild(window, gui.hwndFocus)
                            ? GetDlgCtrlID(gui.hwndFocus)
                            : -1;
    Print("focus", std::to_wstring(focusId));
    for (HWND child : Children(window)) PrintChild(child, window);
}

// Polls until find() gives a visible window. Messages sent to this thread (activation
// broadcasts reach every thread with a window, the hidden IME one included) are
// answered while waiting, so the program being watched never blocks on the inspector.
template <typename Find>
HWND WaitFor(Find find, double seconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        HWND found = find();
        if (found && IsWindowVisible(found))
            return found;
        if (GetTickCount64() >= deadline)
            return nullptr;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

HWND FindInstaller() {
    return FindWindowW(L"TolbexInstaller", nullptr);
}

int ShowWindowInfo(HWND window) {
    if (!window)
        return 1;
    PrintTopLevel(window);
    return 0;
}

int ShowShortcut(const wchar_t* file) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.put()))) ||
        FAILED(persist->Load(file, STGM_READ))) {
        return 1;
    }
    wchar_t text[1024] = {};
    link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    Print("target", text);
    text[0] = 0;
    link->GetWorkingDirectory(text, 1024);
    Print("workdir", text);
    text[0] = 0;
    link->GetDescription(text, 1024);
    Print("description", text);
    text[0] = 0;
    link->GetArguments(text, 1024);
    Print("arguments", text);
    return 0;
}

// Installs window-refuser.dll's CBT hook on the whole desktop and keeps it for the given
// seconds, pumping this thread's messages meanwhile as a hook's owner should; "ready" on
// stdout says it is in place. What the DLL refuses is in window_refuser.cpp.
int HoldRefuserHook(double seconds) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll = path;
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"window-refuser.dll";
    const HMODULE module = LoadLibraryW(dll.c_str());
    const auto proc = module ? reinterpret_cast<HOOKPROC>(
                                   reinterpret_cast<void*>(GetProcAddress(module, "RefuseCbtProc")))
                             : nullptr;
    const HHOOK hook = proc ? SetWindowsHookExW(WH_CBT, proc, module, 0) : nullptr;
    if (!hook)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    WaitFor([] { return static_cast<HWND>(nullptr); }, seconds);
    UnhookWindowsHookEx(hook);
    return 0;
}

double WaitSeconds(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wstring(argv[i]) == L"--wait")
            return _wtof(argv[i + 1]);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: window-inspector window|box|dialog TITLE|gone|"
                     "shortcut FILE|close|post WPARAM LPARAM|refuse [--wait SECONDS]\n");
        return 2;
    }
    const std::wstring command = argv[1];
    const double wait = WaitSeconds(argc, argv);
    if (command == L"window")
        return ShowWindowInfo(WaitFor(FindInstaller, wait));
    if (command == L"box") {
        return ShowWindowInfo(WaitFor([] { return FindWindowW(L"#32770", L"Tolbex"); }, wait));
    }
    if (command == L"dialog" && argc >= 3) {
        const wchar_t* title = argv[2];
        return ShowWindowInfo(WaitFor([title] { return FindWindowW(L"#32770", title); }, wait));
    }
    if (command == L"gone") {
        // The desktop window stands for "found" once the installer window is gone.
        return WaitFor([] { return FindInstaller() ? nullptr : GetDesktopWindow(); }, wait) ? 0 : 1;
    }
    if (command == L"shortcut" && argc >= 3)
        return ShowShortcut(argv[2]);
    if (command == L"refuse")
        return HoldRefuserHook(wait);
    if (command == L"close") {
        const HWND window = FindInstaller();
        return window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (command == L"post" && argc >= 4) {
        const HWND window = FindInstaller();
        return window && PostMessageW(window, WM_APP + 1, _wtoi64(argv[2]), _wtoi64(argv[3])) ? 0
                                                                                              : 1;
    }
    return 2;
}
