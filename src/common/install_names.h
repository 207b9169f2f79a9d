// The names an installation is found by on disk (platform-free): the product's folder
// and the launcher in it.
#pragma once

#include "common/path_rules.h"
#include "common/types.h"

// The product's folder name: the last component of every install folder the installer
// chooses (LocalAppData\Programs\Tolbex, a picked folder joined with it, the test mode's
// FOLDER\Tolbex), the one a folder must carry to count as the installer's own, and the
// data folder under Documents. The window title, the box caption, the HTTP agent and the
// settings section read the same but are texts of their own.
inline constexpr wchar_t kProductFolderName[] = L"Tolbex";

// The launcher, as the manifest names it and as it lies in an install folder. Its
// presence marks an installation, and a release without it cannot make a fresh one.
inline constexpr char kLauncherFileName[] = "tolbex_launcher.exe";

// folder joined with the launcher's name: C:\x\Tolbex gives C:\x\Tolbex\tolbex_launcher.exe.
inline WideString LauncherPathIn(const WideString& folder) {
    return PathJoin(folder, WidenBytes(kLauncherFileName));
}
