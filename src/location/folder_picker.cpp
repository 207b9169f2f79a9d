// The installer window's folder dialog (IFileOpenDialog) and its path line.
#include "location/folder_picker.h"

#include <shobjidl.h>

#include <optional>

#include "common/handles.h"
#include "common/path_rules.h"
#include "location/folder_choice.h"
#include "location/install_dir.h"

HWND PathLabel = nullptr;

namespace {

constexpr const wchar_t* kDialogTitle = L"Waar moet Tolbex komen? / Where should Tolbex go?";
constexpr FILEOPENDIALOGOPTIONS kFolderOptions =
    FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;

// The bytes on the volume of the folder's root that this user may fill (a quota counts,
// the volume's total free space does not). A relative folder has no root to ask about:
// GetDiskFreeSpaceExW would silently answer for the current directory's drive, which is
// not where the install would land, so that counts as a failed query.
std::optional<std::uint64_t> AvailableBytes(const WideString& folder) {
    const WideString root = PathRootPath(folder);
    ULARGE_INTEGER available{};
    if (root.empty() || !GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) {
        return std::nullopt;
    }
    return available.QuadPart;
}

// Makes the dialog open in the parent of InstallDir, whatever it showed last time. A
// parent that does not exist has no shell item; the dialog then opens where it likes.
void StartInParentOfInstallDir(IFileOpenDialog* dialog) {
    ComPtr<IShellItem> folder;
    const WideString parent = PathParent(InstallDir);
    if (SUCCEEDED(SHCreateItemFromParsingName(parent.c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(folder.put())))) {
        dialog->SetFolder(folder.get());
    }
}

void PrepareDialog(IFileOpenDialog* dialog) {
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)))
        options = 0;
    dialog->SetOptions(options | kFolderOptions);
    dialog->SetTitle(kDialogTitle);
    StartInParentOfInstallDir(dialog);
}

// The file-system path of the confirmed folder, or empty after cancel or a failure.
WideString ChosenFolder(IFileOpenDialog* dialog, HWND owner) {
    if (FAILED(dialog->Show(owner)))
        return {};
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.put())))
        return {};
    CoTaskString path;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, path.put())) || !path)
        return {};
    return path.get();
}

}  // namespace

void PickInstallDir(HWND owner) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.put())))) {
        return;
    }
    PrepareDialog(dialog.get());
    const WideString chosen = ChosenFolder(dialog.get(), owner);
    if (chosen.empty())
        return;
    InstallDir = InstallDirForChoice(chosen);
    UpdatePathLabel();
}

void UpdatePathLabel() {
    const WideString text = PathLabelText(InstallDir, AvailableBytes(InstallDir));
    SetWindowTextW(PathLabel, text.c_str());
}
