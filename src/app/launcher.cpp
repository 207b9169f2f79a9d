// Starting the installed launcher through the shell.
#include "app/launcher.h"

#include <windows.h>
#include <shellapi.h>

#include "common/install_names.h"
#include "common/path_rules.h"
#include "location/install_dir.h"

void StartLauncher() {
    const WideString file = LauncherPathIn(InstallDir);
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, InstallDir.c_str(), SW_SHOWNORMAL);
}
