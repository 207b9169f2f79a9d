// The installer's window and its two states: choosing (InstallBusy false: the question,
// the folder line and the two buttons) and busy (InstallBusy true: the downloading text,
// the progress bar and the wait cursor, every command and close refused) until the
// worker's result ends the window.
#include "app/installer_window.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <cstdint>
#include <utility>

#include "app/install_worker.h"
#include "common/handles.h"
#include "location/folder_picker.h"
#include "location/install_dir.h"
#include "location/validation.h"
#include "log/log.h"
#include "update/file_replace.h"
#include "update/folder_lock.h"
#include "update/update_progress.h"

HWND MainWindow = nullptr;
bool InstallBusy = false;

namespace {

HWND PromptLabel = nullptr;
HWND ChangeButton = nullptr;
HWND InstallButton = nullptr;

// This process's hold on the session's window mutex, for as long as it runs.
KernelHandle WindowMutex;

// The install folder's lock, from the Install press to the worker's result. Window
// thread only (the mutex is the window thread's).
FolderLock InstallLock;

// The busy state's progress: the bar (created when the window turns busy), the taskbar
// button's progress (null where the shell does not offer it) and the number of the
// count the bar shows (0 while it runs as a marquee). Window thread only.
HWND ProgressBar = nullptr;
ComPtr<ITaskbarList3> TaskbarProgress;
WORD ShownCount = 0;

// The token of the running installation's worker; 0 while none runs and once its result
// has been handled. Window thread only.
LPARAM DoneToken = 0;

constexpr const wchar_t* kClassName = L"TolbexInstaller";
// Exists while a window road runs in this session; a second start hands over to it.
constexpr const wchar_t* kWindowMutexName = L"Local\\TolbexSetupVenster";
constexpr const wchar_t* kTitle = L"Tolbex";
constexpr const wchar_t* kPromptText =
    L"Waar moet Tolbex komen? De servermods kunnen tientallen GB groot zijn.\n"
    L"Where should Tolbex go? The server mods can take tens of GB.";
constexpr const wchar_t* kDownloadingText = L"Tolbex wordt gedownload...\nDownloading Tolbex...";
constexpr const wchar_t* kChangeText = L"Andere map... / Change...";
constexpr const wchar_t* kInstallText = L"Installeren / Install";
constexpr const wchar_t* kNoWindowText =
    L"Het venster van Tolbex kon niet worden geopend.\n\n"
    L"The Tolbex window could not be opened.";

constexpr int kClientWidth = 480;
constexpr int kClientHeight = 150;
// WS_CAPTION is WS_BORDER | WS_DLGFRAME: a caption with a close box only, no sizing
// border and no minimise or maximise box.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU;

// The bar sits in the row where the buttons were, as wide as the labels, centred on the
// buttons' height.
constexpr int kBarX = 15, kBarY = 104, kBarWidth = 450, kBarHeight = 24;
constexpr UINT kMarqueeStepMs = 30;

constexpr int kChangeButtonId = 10;
constexpr int kInstallButtonId = IDOK;  // Enter arrives as IDOK through IsDialogMessageW.

struct ControlSpec {
    HWND* handle;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
    int id;
};

// Creation order is the tab order: only the two buttons carry WS_TABSTOP.
const ControlSpec kControls[] = {
    {&PromptLabel, L"STATIC", kPromptText, WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 15, 15, 450, 34, 0},
    {&PathLabel, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS | SS_CENTERIMAGE,
     WS_EX_CLIENTEDGE, 15, 58, 450, 24, 0},
    {&ChangeButton, L"BUTTON", kChangeText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
     15, 100, 200, 32, kChangeButtonId},
    {&InstallButton, L"BUTTON", kInstallText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
     0, 265, 100, 200, 32, kInstallButtonId},
};

bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = InstallerWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

// The window's outer size for a 480 x 150 client area, centred on the primary screen
// (the task bar is not taken into account). Integer division truncates toward zero, so
// a window wider than the screen gets a negative x, as it would on Windows.
bool CreateMainWindow(HINSTANCE instance) {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, kWindowStyle, FALSE);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MainWindow = CreateWindowExW(0, kClassName, kTitle, kWindowStyle, x, y, width, height, nullptr,
                                 nullptr, instance, nullptr);
    return MainWindow != nullptr;
}

bool CreateControls(HINSTANCE instance) {
    for (const ControlSpec& c : kControls) {
        *c.handle = CreateWindowExW(
            c.exStyle, c.className, c.text, c.style, c.x, c.y, c.width, c.height, MainWindow,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (!*c.handle)
            return false;
    }
    // The stock font is shared by the system and never freed.
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlSpec& c : kControls) SendMessageW(*c.handle, WM_SETFONT, font, TRUE);
    return true;
}

// The box comes before DestroyWindow: the WM_QUIT that WM_DESTROY posts would otherwise
// end the box's own message loop before the user has seen it.
bool ReportNoWindow() {
    MessageBoxW(nullptr, kNoWindowText, kTitle, MB_OK | MB_ICONERROR);
    if (MainWindow)
        DestroyWindow(MainWindow);
    return false;
}

// IsDialogMessageW gives the window a dialog's keyboard: Tab and Shift+Tab between the
// buttons, Enter as IDOK, Escape as IDCANCEL. GetMessageW answers -1 on an error, which
// ends the loop as WM_QUIT does.
void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(MainWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void SetClassCursor(HWND window, LPCWSTR cursorId) {
    const HCURSOR cursor = LoadCursorW(nullptr, cursorId);
    SetClassLongPtrW(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
    SetCursor(cursor);
}

// The taskbar button's progress, where the shell has it: Wine and Windows before 7 do
// not, and then the bar in the window is all there is.
void StartTaskbarProgress(HWND window) {
    ComPtr<ITaskbarList3> taskbar;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(taskbar.put()))) ||
        FAILED(taskbar->HrInit())) {
        return;
    }
    taskbar->SetProgressState(window, TBPF_INDETERMINATE);
    TaskbarProgress = std::move(taskbar);
}

// Created only now, so the choosing state keeps exactly its four controls. A marquee
// until the first count starts: before the manifest is accepted nobody knows how much
// is to come.
void ShowBusyProgress(HWND window) {
    // Loaded here rather than imported: the road that starts an installed launcher
    // shows no window and should not load the controls library at start-up. The
    // manifest makes this version 6, whose loading registers PROGRESS_CLASS; it stays
    // loaded for the bar's whole life, which is the process's.
    LoadLibraryW(L"comctl32.dll");
    ProgressBar =
        CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_MARQUEE, kBarX, kBarY,
                        kBarWidth, kBarHeight, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(ProgressBar, PBM_SETRANGE32, 0, kProgressFull);
    SendMessageW(ProgressBar, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
    StartTaskbarProgress(window);
}

void HideBusyProgress(HWND window) {
    if (ProgressBar)
        DestroyWindow(ProgressBar);
    ProgressBar = nullptr;
    ShownCount = 0;
    if (TaskbarProgress)
        TaskbarProgress->SetProgressState(window, TBPF_NOPROGRESS);
    TaskbarProgress.reset();
}

// The marquee gives way to a bar that fills; the style must go too, or the control keeps
// animating instead of showing its position.
void StopMarquee(HWND window) {
    SendMessageW(ProgressBar, PBM_SETMARQUEE, FALSE, 0);
    const LONG_PTR style = GetWindowLongPtrW(ProgressBar, GWL_STYLE);
    SetWindowLongPtrW(ProgressBar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    if (TaskbarProgress)
        TaskbarProgress->SetProgressState(window, TBPF_NORMAL);
}

void ShowShare(HWND window, std::uint32_t share) {
    SendMessageW(ProgressBar, PBM_SETPOS, share, 0);
    if (TaskbarProgress)
        TaskbarProgress->SetProgressValue(window, share, kProgressFull);
}

// A new count (the first, or the next server's) starts where it says, even below what
// the bar showed; within a count the bar only moves forward.
void ShowProgress(HWND window, WORD count, std::uint32_t share) {
    if (share > kProgressFull)
        share = kProgressFull;
    if (count != ShownCount) {
        if (ShownCount == 0)
            StopMarquee(window);
        ShownCount = count;
        ShowShare(window, share);
    } else if (share > static_cast<std::uint32_t>(SendMessageW(ProgressBar, PBM_GETPOS, 0, 0))) {
        ShowShare(window, share);
    }
}

// Before the end of an installation is shown: on success the bar is full before the
// window closes; on failure the bar and the taskbar button turn red before the box.
void ShowProgressEnd(HWND window, bool succeeded) {
    if (!ProgressBar)
        return;
    if (ShownCount == 0)
        StopMarquee(window);
    if (succeeded) {
        ShowShare(window, kProgressFull);
        return;
    }
    SendMessageW(ProgressBar, PBM_SETSTATE, PBST_ERROR, 0);
    if (TaskbarProgress)
        TaskbarProgress->SetProgressState(window, TBPF_ERROR);
}

// Set before the worker exists, so a second Enter can never start a second one. The
// class cursor, not just SetCursor, keeps the wait cursor while the mouse moves.
void EnterBusyState(HWND window) {
    InstallBusy = true;
    ShowWindow(InstallButton, SW_HIDE);
    ShowWindow(ChangeButton, SW_HIDE);
    SetWindowTextW(PromptLabel, kDownloadingText);
    SetClassCursor(window, IDC_WAIT);
    ShowBusyProgress(window);
}

void LeaveBusyState(HWND window) {
    HideBusyProgress(window);
    InstallBusy = false;
    SetWindowTextW(PromptLabel, kPromptText);
    ShowWindow(ChangeButton, SW_SHOW);
    ShowWindow(InstallButton, SW_SHOW);
    SetClassCursor(window, IDC_ARROW);
}

// Hands the messages that arrive during a wait to the window as the main loop would.
// False when WM_QUIT came (it is posted again for the main loop).
bool PumpPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (!IsDialogMessageW(MainWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// Takes the install folder's lock. When another run holds it, the window waits in its
// busy state (every command and close refused) for up to kFolderLockWaitMs, and keeps
// handling its messages meanwhile, as a modal box would, so it never freezes. The wait
// happens here, not on the worker, because validation and recovery must run under the
// lock before the worker starts, and the mutex belongs to the thread that takes it.
bool TakeInstallLock(HWND window) {
    switch (TryFolderLock(InstallDir, InstallLock)) {
        case LockTry::kHeld:
            return true;
        case LockTry::kFailed:
            LogLine(L"Map %s kon niet worden vergrendeld (%lu)", InstallDir.c_str(),
                    GetLastError());
            return false;
        case LockTry::kBusy:
            break;
    }
    LogFolderLockWait(InstallDir);
    EnterBusyState(window);
    const ULONGLONG deadline = GetTickCount64() + kFolderLockWaitMs;
    const HANDLE mutex = InstallLock.mutex.get();
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = MsgWaitForMultipleObjects(1, &mutex, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) {
            InstallLock.held = true;
            break;
        }
        if (result != WAIT_OBJECT_0 + 1 || !PumpPendingMessages())
            break;
    }
    LeaveBusyState(window);
    if (!InstallLock.held)
        LogFolderLockGaveUp(InstallDir);
    return InstallLock.held;
}

// A worker that cannot start would leave the window busy for ever, refusing even to
// close; instead the user gets the download-failure box and the window closes as after
// any failed installation. So does a wait for another run's lock that is given up.
void StartInstallation(HWND window) {
    if (!TakeInstallLock(window)) {
        FinishInstallation(window, false);
        return;
    }
    RecoverInterruptedWrite(InstallDir);
    if (const wchar_t* refusal = ValidateInstallDir()) {
        InstallLock.Release();
        MessageBoxW(window, refusal, kTitle, MB_OK | MB_ICONWARNING);
        return;
    }
    EnterBusyState(window);
    LogLine(L"[installer] installeren in %s", InstallDir.c_str());
    DoneToken = StartInstallWorker();
    if (DoneToken == 0) {
        LogLine(L"[installer] installatie kon niet starten (fout %lu)", GetLastError());
        InstallLock.Release();
        LeaveBusyState(window);
        FinishInstallation(window, false);
    }
}

// Only the low word is the command: a click (BN_CLICKED) and the dialog keyboard give
// the same id.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (InstallBusy)
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    switch (LOWORD(wParam)) {
        case kChangeButtonId:
            PickInstallDir(window);
            break;
        case kInstallButtonId:
            StartInstallation(window);
            break;
        case IDCANCEL:
            DestroyWindow(window);
            break;
    }
    return 0;
}

// Obeyed only while busy, only with this run's token, and only once: the token is
// cleared before the end of the installation starts, so a repeat during the failure box
// is ignored too. A stray post by another program (with 0 or 1, while choosing or in
// the middle of a run) changes nothing.
LRESULT OnInstallDone(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!InstallBusy || DoneToken == 0 || lParam != DoneToken)
        return 0;
    DoneToken = 0;
    InstallLock.Release();
    ShowProgressEnd(window, wParam != 0);
    FinishInstallation(window, wParam != 0);
    return 0;
}

// Obeyed as WM_INSTALL_DONE is: only while busy and only with this run's token, so a
// post by another program, or one that arrives after the result, moves nothing.
LRESULT OnInstallProgress(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!InstallBusy || DoneToken == 0 || lParam != DoneToken || !ProgressBar)
        return 0;
    ShowProgress(window, HIWORD(wParam), LOWORD(wParam));
    return 0;
}

// Close box, Alt+F4 and the system menu's Close are refused silently while installing.
LRESULT OnClose(HWND window, WPARAM wParam, LPARAM lParam) {
    if (InstallBusy)
        return 0;
    return DefWindowProcW(window, WM_CLOSE, wParam, lParam);
}

// The taskbar object goes with the window, while COM is still there to release it.
LRESULT OnDestroy() {
    TaskbarProgress.reset();
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK InstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(window, wParam, lParam);
        case WM_INSTALL_DONE:
            return OnInstallDone(window, wParam, lParam);
        case WM_INSTALL_PROGRESS:
            return OnInstallProgress(window, wParam, lParam);
        case WM_CLOSE:
            return OnClose(window, wParam, lParam);
        case WM_DESTROY:
            return OnDestroy();
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

namespace {

// The open window, once it exists, restored and in front.
void BringOpenWindowForward() {
    if (const HWND open = FindWindowW(kClassName, nullptr)) {
        if (IsIconic(open))
            ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
    }
}

}  // namespace

bool HandOverToOpenWindow() {
    // reset() keeps the last-error value, which tells whether the mutex existed.
    WindowMutex.reset(CreateMutexW(nullptr, FALSE, kWindowMutexName));
    if (!WindowMutex || GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    BringOpenWindowForward();
    return true;
}

bool ShowOpenWindow() {
    const KernelHandle open(OpenMutexW(SYNCHRONIZE, FALSE, kWindowMutexName));
    if (!open)
        return false;
    BringOpenWindowForward();
    return true;
}

bool RunInstallerWindow(HINSTANCE instance) {
    if (!RegisterWindowClass(instance) || !CreateMainWindow(instance) ||
        !CreateControls(instance)) {
        return ReportNoWindow();
    }
    UpdatePathLabel();
    ShowWindow(MainWindow, SW_SHOW);
    SetFocus(InstallButton);
    RunMessageLoop();
    return true;
}
