// Whether a chosen install folder is acceptable, made to exist and marked as Tolbex's own.
#include "location/validation.h"

#include <filesystem>
#include <fstream>

#include "common/install_names.h"
#include "common/path_rules.h"
#include "location/canonical_path.h"
#include "location/install_dir.h"
#include "common/update_files.h"

const wchar_t FolderNotEmptyMessage[] =
    L"Deze map is niet leeg. Kies een lege map of een andere schijf.\n\n"
    L"This folder is not empty. Choose an empty folder or another drive.";
const wchar_t CannotWriteMessage[] =
    L"Tolbex mag hier niet schrijven (bijvoorbeeld in Program Files). Kies een andere map.\n\n"
    L"Tolbex cannot write here (for example Program Files). Choose another folder.";
const char MarkerText[] =
    "Deze map is van Tolbex (gekozen in de installer). Bij verwijderen gaat de hele map weg.\r\n";
static_assert(sizeof MarkerText - 1 == kMarkerTextSize, "the marker is 89 bytes, CR LF included");

namespace {

namespace fs = std::filesystem;

// Spellings differ ("c:/Users/x/./AppData/..") but the on-disk forms agree. A form that
// could not be computed matches nothing: otherwise two failed lookups would make any
// foreign ...\Tolbex folder "the default", accepted unmarked and untested.
bool IsDefaultFolder(const WideString& folder) {
    return SameCanonicalForm(WeaklyCanonicalPath(DefaultInstallDir()), WeaklyCanonicalPath(folder));
}

// The entries this installer itself leaves in a folder whose installation did not
// finish: the marker, and the temporary and backup files of an interrupted write phase.
bool IsInstallerEntry(const fs::directory_entry& entry) {
    const WideString name = entry.path().filename().wstring();
    return EqualsAsciiNoCase(name, WideString(kMarkerFileName)) || IsWritePhaseLeftover(name);
}

// A folder counts as empty when listing it yields nothing but the installer's own
// entries (hidden and system entries count as foreign): a first installation that failed
// or was killed leaves the marker, and the user must be able to try again in that folder.
// A file is empty when its size is zero. Any error counts as not empty.
bool IsEmptyEntry(const WideString& path) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error)
        return false;
    if (fs::is_directory(status)) {
        for (fs::directory_iterator it(fs::path(path), error), end; !error && it != end;
             it.increment(error)) {
            if (!IsInstallerEntry(*it))
                return false;
        }
        return !error;
    }
    const std::uintmax_t size = fs::file_size(fs::path(path), error);
    return !error && size == 0;
}

void CreateFolderAndParents(const WideString& folder) {
    std::error_code ignored;
    fs::create_directories(fs::path(folder), ignored);
}

// Takes back a marker write that failed: whatever part of the marker reached the disk
// goes, and the folder too when this call created it (removing a folder succeeds only
// when nothing else is in it). A folder the user had stays, and so does an empty file
// at the path, which is no folder.
void UndoMarker(const WideString& folder, bool created) {
    std::error_code ignored;
    if (!fs::is_directory(fs::path(folder), ignored))
        return;
    fs::remove(fs::path(PathJoin(folder, kMarkerFileName)), ignored);
    if (created)
        fs::remove(fs::path(folder), ignored);
}

// Flushed before the check, so a failing write shows here and not only at the close.
bool WriteMarker(const WideString& folder) {
    std::ofstream marker(fs::path(PathJoin(folder, kMarkerFileName)),
                         std::ios::out | std::ios::binary | std::ios::trunc);
    marker.write(MarkerText, kMarkerTextSize);
    marker.flush();
    return static_cast<bool>(marker);
}

}  // namespace

const wchar_t* ValidateInstallDir() {
    // The default folder is always Tolbex's: no emptiness test, no marker.
    if (IsDefaultFolder(InstallDir)) {
        CreateFolderAndParents(InstallDir);
        return nullptr;
    }

    const bool existed = PathExists(InstallDir);
    if (existed && !IsEmptyEntry(InstallDir) && !PathExists(LauncherPathIn(InstallDir))) {
        return FolderNotEmptyMessage;
    }

    CreateFolderAndParents(InstallDir);
    // An existing installation folder is accepted as it is, without a write test.
    if (existed && !IsEmptyEntry(InstallDir))
        return nullptr;

    if (!WriteMarker(InstallDir)) {
        UndoMarker(InstallDir, !existed);
        return CannotWriteMessage;
    }
    return nullptr;
}

bool IsOwnFolder(const WideString& folder) {
    return EqualsAsciiNoCase(PathLastComponent(folder), WideString(kProductFolderName)) &&
           PathExists(PathJoin(folder, kMarkerFileName));
}
