// The folder picker's text rules: the install folder for a pick and the path line's text.
#include "location/folder_choice.h"

#include "common/install_names.h"
#include "common/path_rules.h"

namespace {

constexpr std::uint64_t kBytesPerGb = std::uint64_t{1} << 30;

}  // namespace

WideString InstallDirForChoice(const WideString& chosen) {
    if (EqualsAsciiNoCase(PathLastComponent(chosen), WideString(kProductFolderName)))
        return chosen;
    return PathJoin(chosen, kProductFolderName);
}

WideString PathLabelText(const WideString& installDir,
                         std::optional<std::uint64_t> availableBytes) {
    if (!availableBytes)
        return installDir;
    return installDir + L"   (" + std::to_wstring(*availableBytes / kBytesPerGb) +
           L" GB vrij / free)";
}
