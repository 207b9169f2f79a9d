// The install folder of this run and the lookups of its first value (registry, default).
#include "location/install_dir.h"

#include <filesystem>

#include "common/handles.h"
#include "common/install_names.h"
#include "common/path_rules.h"
#include "common/update_files.h"

WideString InstallDir;

namespace {

constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolbex";

// The InstallLocation value, or empty when it is missing, not REG_SZ or does not fit
// the 260-unit buffer (RegGetValueW then fails with ERROR_MORE_DATA).
WideString ReadInstallLocation() {
    wchar_t buffer[260] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation", RRF_RT_REG_SZ, nullptr,
                     buffer, &bytes) != ERROR_SUCCESS) {
        return {};
    }
    buffer[259] = L'\0';
    return buffer;
}

// The launcher, or its old contents under the backup name: a commit interrupted between
// the launcher's two renames leaves no launcher but that backup, and the launch road's
// recovery puts a launcher in place before it starts one.
bool HoldsLauncher(const WideString& folder) {
    const WideString launcher = LauncherPathIn(folder);
    return PathExists(launcher) || PathExists(launcher + WidenBytes(kBackupSuffix));
}

}  // namespace

bool PathExists(const WideString& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::status(path, error));
}

WideString KnownFolderPath(REFKNOWNFOLDERID folderId) {
    CoTaskString path;
    if (FAILED(SHGetKnownFolderPath(folderId, 0, nullptr, path.put())))
        return {};
    return path.get();
}

WideString DefaultInstallDir() {
    return PathJoin(PathJoin(KnownFolderPath(FOLDERID_LocalAppData), L"Programs"),
                    kProductFolderName);
}

WideString FindExistingInstall() {
    const WideString candidate = ReadInstallLocation();
    if (!candidate.empty() && HoldsLauncher(candidate))
        return candidate;
    const WideString fallback = DefaultInstallDir();
    if (HoldsLauncher(fallback))
        return fallback;
    return {};
}
