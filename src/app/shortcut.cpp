// The desktop and Start-menu shortcuts to the launcher, written through IShellLinkW.
#include "app/shortcut.h"

#include <shobjidl.h>

#include "common/handles.h"
#include "common/path_rules.h"
#include "location/install_dir.h"

namespace {

constexpr const wchar_t* kShortcutFileName = L"Tolbex.lnk";
constexpr const wchar_t* kShortcutDescription = L"Tolbex - multiplayer voor Euro Truck Simulator 2";

}  // namespace

void CreateShortcut(const WideString& link, const WideString& target) {
    ComPtr<IShellLinkW> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shellLink.put())))) {
        return;
    }
    shellLink->SetPath(target.c_str());
    shellLink->SetWorkingDirectory(PathParent(target).c_str());
    shellLink->SetDescription(kShortcutDescription);
    // Save replaces an existing file of the same name, so a repeated installation leaves
    // one shortcut, not two.
    ComPtr<IPersistFile> file;
    if (SUCCEEDED(
            shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) {
        file->Save(link.c_str(), TRUE);
    }
}

void CreateShortcutIn(REFKNOWNFOLDERID folder, const WideString& target) {
    const WideString place = KnownFolderPath(folder);
    if (place.empty())
        return;
    CreateShortcut(PathJoin(place, kShortcutFileName), target);
}
