// The installer's entry point: one of three roads, chosen from the command line and the
// presence of an existing installation.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/command_line.h"
#include "app/installer_window.h"
#include "app/launcher.h"
#include "app/test_mode.h"
#include "common/handles.h"
#include "location/install_dir.h"
#include "update/file_replace.h"
#include "update/folder_lock.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The main thread is a single-threaded apartment: it later creates the shell-link
    // object and the folder dialog. A failure here is not reported.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    int count = 0;
    ArgvArray arguments(CommandLineToArgvW(GetCommandLineW(), &count));

    // Road 1: "--proef FOLDER" installs into FOLDER\Tolbex without a window, even when
    // an installation exists. The folder is taken as it stands.
    if (IsTestModeCommandLine(count, arguments.get())) {
        const WideString folder = arguments.get()[2];
        arguments.reset();
        const int result = RunTestMode(folder);
        CoUninitialize();
        return result;
    }
    arguments.reset();

    // Road 2: an existing installation starts at once, with no window. An installation
    // that is writing the folder is waited for, and one that was interrupted is finished
    // first, so the launcher never starts from a half-written folder. Without the lock
    // nothing starts.
    // While an installer window is open it owns the start: a second double-click, once
    // that window's installation has put the launcher in place, shows the window again.
    InstallDir = FindExistingInstall();
    if (!InstallDir.empty()) {
        if (ShowOpenWindow())
            return 0;
        FolderLock lock;
        if (!TakeFolderLock(InstallDir, lock))
            return 1;
        RecoverInterruptedWrite(InstallDir);
        lock.Release();
        StartLauncher();
        return 0;
    }

    // Road 3: the installer window on the default folder; a second start while a window
    // is open brings that one to the front instead.
    // A window that cannot be built has already said so in a box; exit code 1 then.
    if (HandOverToOpenWindow()) {
        CoUninitialize();
        return 0;
    }
    InstallDir = DefaultInstallDir();
    const bool shown = RunInstallerWindow(instance);
    CoUninitialize();
    return shown ? 0 : 1;
}
