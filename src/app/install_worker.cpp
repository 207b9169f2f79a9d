// The install worker thread, its result and progress posts to the window, and the end of
// an installation on the window thread: shortcuts and launch, or the failure box.
#include "app/install_worker.h"

#include <shlobj.h>
#include <bcrypt.h>

#include "app/installer_window.h"
#include "app/launcher.h"
#include "app/shortcut.h"
#include "common/handles.h"
#include "common/install_names.h"
#include "common/path_rules.h"
#include "location/install_dir.h"
#include "log/log.h"
#include "update/install_servers.h"

namespace {

constexpr const wchar_t* kBoxCaption = L"Tolbex";
constexpr const wchar_t* kAbortedLine =
    L"[installer] installatie afgebroken door een onverwachte fout";
// How often, and how far apart, the worker posts its result before it sends it instead.
constexpr int kPostTries = 5;
constexpr DWORD kPostPauseMs = 200;
// The least time between two progress posts: about ten a second is smooth to the eye and
// costs the download nothing.
constexpr ULONGLONG kProgressPauseMs = 100;
constexpr const wchar_t* kDownloadFailedText =
    L"Tolbex kon niet worden gedownload. Controleer je internet en probeer het opnieuw.\n\n"
    L"Tolbex could not be downloaded. Check your internet connection and try again.";

// Both shortcuts exist and the "klaar" line is written before the launcher starts, so
// a launcher that looks for its shortcut or a reader of the log sees them in order.
void CompleteInstallation(HWND window) {
    const WideString target = LauncherPathIn(InstallDir);
    CreateShortcutIn(FOLDERID_Desktop, target);
    CreateShortcutIn(FOLDERID_Programs, target);
    LogLine(L"[installer] klaar in %s", InstallDir.c_str());
    StartLauncher();
    DestroyWindow(window);
}

// InstallBusy is still set while the box is open, so the close box stays refused.
void ReportFailure(HWND window) {
    MessageBoxW(window, kDownloadFailedText, kBoxCaption, MB_OK | MB_ICONERROR);
    DestroyWindow(window);
}

// The worker's side of WM_INSTALL_PROGRESS: which count this is, and when it last posted.
struct ProgressPoster {
    LPARAM token;
    WORD count = 0;
    ULONGLONG lastPostMs = 0;
};

// On the worker thread, from inside the fetch. A share that comes sooner than the pause
// after the last post is dropped, a milestone never is: the window always sees a new
// count begin, each file's part filled (also when the next file stalls at once) and
// every count that completes end full. A post that fails (a full queue) only costs the
// window one step of its bar.
void PostProgress(void* context, std::uint32_t share, bool milestone) {
    auto& poster = *static_cast<ProgressPoster*>(context);
    if (milestone && share == 0)
        ++poster.count;
    const ULONGLONG now = GetTickCount64();
    if (!milestone && now - poster.lastPostMs < kProgressPauseMs)
        return;
    poster.lastPostMs = now;
    PostMessageW(MainWindow, WM_INSTALL_PROGRESS, MAKEWPARAM(share, poster.count), poster.token);
}

// Nothing may escape the thread procedure: an exception there ends the process without a
// word, and the window would never learn the result. The line is best effort, because
// the cause (the allocator, the log's own mutex) may make logging fail as well.
bool InstallCatchingAll(LPARAM token) {
    try {
        ProgressPoster poster{token};
        const UpdateProgress progress{PostProgress, &poster};
        return InstallFromServers(&progress);
    } catch (...) {
        try {
            LogLine(kAbortedLine);
        } catch (...) {
        }
        return false;
    }
}

// A post fails only when the window's queue is full (10,000 posted messages, for
// example flooded by another program) or the window is gone. A few tries give a full
// queue time to drain; after that the result goes by SendMessageW, which bypasses the
// posted-message queue: the window thread handles it the next time it looks for
// messages, while this thread waits (through the failure box, if one is shown, which is
// harmless since the worker has nothing left to do). A window that is gone learns
// nothing, because nobody is left to tell.
void ReportResult(bool installed, LPARAM token) {
    const WPARAM result = installed ? 1 : 0;
    for (int i = 0; i < kPostTries; ++i) {
        if (PostMessageW(MainWindow, WM_INSTALL_DONE, result, token))
            return;
        Sleep(kPostPauseMs);
    }
    SendMessageW(MainWindow, WM_INSTALL_DONE, result, token);
}

// Random, so that no other program (nor a stray post with 0 or 1) can end a run. Should
// the system's generator fail, the tick count still differs from such posts.
LPARAM NewDoneToken() {
    LPARAM token = 0;
    if (!BcryptSucceeded(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&token), sizeof token,
                                         BCRYPT_USE_SYSTEM_PREFERRED_RNG)) ||
        token == 0) {
        token = static_cast<LPARAM>(GetTickCount64() | 2);
    }
    return token;
}

}  // namespace

DWORD WINAPI InstallWorker(void* parameter) {
    const auto token = reinterpret_cast<LPARAM>(parameter);
    ReportResult(InstallCatchingAll(token), token);
    return 0;
}

LPARAM StartInstallWorker() {
    const LPARAM token = NewDoneToken();
    const KernelHandle thread(
        CreateThread(nullptr, 0, InstallWorker, reinterpret_cast<void*>(token), 0, nullptr));
    return thread ? token : 0;
}

void FinishInstallation(HWND window, bool succeeded) {
    if (succeeded) {
        CompleteInstallation(window);
    } else {
        ReportFailure(window);
    }
}
