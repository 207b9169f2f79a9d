#include "app/install_worker.h"

#include <shlobj.h>

#include "app/installer_window.h"
#include "app/launcher.h"
#include "app/shortcut.h"
#include "common/handles.h"
#include "common/path_rules.h"
#include "location/install_dir.h"
#include "log/log.h"
#include "update/install_servers.h"

namespace {

constexpr const wchar_t* kBoxCaption = L"Tolbex";
constexpr const wchar_t* kDownloadFailedText =
    L"Tolbex kon niet worden gedownload. Controleer je internet en probeer het opnieuw.\n\n"
    L"Tolbex could not be downloaded. Check your internet connection and try again.";

// Both shortcuts exist and the "klaar" line is written before the launcher starts, so
// a launcher that looks for its shortcut or a reader of the log sees them in order.
void CompleteInstallation(HWND window) {
    const WideString target = PathJoin(InstallDir, kLauncherFileName);
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

}  // namespace

DWORD WINAPI InstallWorker(void*) {
    const bool installed = InstallFromServers();
    PostMessageW(MainWindow, WM_INSTALL_DONE, installed ? 1 : 0, 0);
    return 0;
}

bool StartInstallWorker() {
    const KernelHandle thread(CreateThread(nullptr, 0, InstallWorker, nullptr, 0, nullptr));
    return static_cast<bool>(thread);
}

void FinishInstallation(HWND window, bool succeeded) {
    if (succeeded) {
        CompleteInstallation(window);
    } else {
        ReportFailure(window);
    }
}
