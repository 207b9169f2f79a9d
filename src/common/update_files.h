// The names an update may write (platform-free): the installer's download check and the
// publisher's release tool use this one rule.
#pragma once

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "common/install_names.h"
#include "common/types.h"

// The only names an update may write, compared ASCII case-insensitively as whole names.
inline constexpr const char* kAllowedUpdateFiles[] = {
    kLauncherFileName, "tolbex_core.dll", "tolbex_telemetry.dll", "tolbex.ini", "Vonkel.dll"};

// "TOLBEX_CORE.DLL" is allowed; "sub\tolbex.ini" and "tolbex.ini " are not.
inline bool IsAllowedUpdateFile(const std::string& name) {
    return std::any_of(
        std::begin(kAllowedUpdateFiles), std::end(kAllowedUpdateFiles),
        [&](const char* allowed) { return EqualsAsciiNoCase(name, std::string(allowed)); });
}

// The first allowed name that names lists a second time, ASCII case-insensitively, as
// that second entry spells it; empty when there is none. A release writes each name once:
// a second commit of one name would rename the first one's new file over its backup.
// {"tolbex.ini", "tolbex_core.dll", "TOLBEX.INI"} gives "TOLBEX.INI"; names outside the
// allowed list are no concern of this rule (the name check refuses them).
inline std::string RepeatedUpdateFile(const std::vector<std::string>& names) {
    for (auto later = names.begin(); later != names.end(); ++later) {
        if (!IsAllowedUpdateFile(*later))
            continue;
        const bool seen = std::any_of(names.begin(), later, [&](const std::string& earlier) {
            return EqualsAsciiNoCase(earlier, *later);
        });
        if (seen)
            return *later;
    }
    return {};
}

// Whether a manifest name is the launcher, ASCII case-insensitively as a whole name:
// "TOLBEX_LAUNCHER.EXE" is, "tolbex_launcher.exe.new" is not.
inline bool IsLauncherFile(const std::string& name) {
    return EqualsAsciiNoCase(name, std::string(kLauncherFileName));
}

// The names a write phase makes beside the installed ones. None of them can be mistaken
// for an installed file: each ends in a suffix that no allowed name has.
//   <name>.tijdelijk   a verified file's new contents, flushed to disk, waiting to take
//                      <name> by rename; never read as an installed file.
//   <name>.vorig       the previous contents of <name> while the other files of the same
//                      update are put in place; deleted once all are, renamed back if
//                      any fails.
//   <name>.oud         the previous contents of a file that was in use (kept afterwards).
//   <name>.new         the running program's own file, which it cannot replace.
// <name> is an allowed name, or such a name followed by ".oud" or ".new" (so
// "tolbex_core.dll.oud.vorig" keeps an older aside file while a newer one takes its
// place). Beside them, while the renames of a commit are under way:
//   tolbex_bijwerken.journaal   the commit's journal (update/file_replace.h): its
//                      presence says that the temporary files are whole and the commit has
//                      begun, so an interrupted one is finished, never taken back.
inline constexpr char kJournalFileName[] = "tolbex_bijwerken.journaal";
inline constexpr char kTemporarySuffix[] = ".tijdelijk";
inline constexpr char kBackupSuffix[] = ".vorig";
inline constexpr char kAsideSuffix[] = ".oud";
inline constexpr char kOwnFileSuffix[] = ".new";

namespace update_files_detail {
// Whether text ends in suffix, ASCII letters in any case; on a match the text before it
// is left in stem.
template <typename Text>
bool CutSuffix(const Text& text, const char* suffix, Text& stem) {
    const Text tail(suffix, suffix + std::char_traits<char>::length(suffix));
    if (text.size() <= tail.size() ||
        !EqualsAsciiNoCase(text.substr(text.size() - tail.size()), tail)) {
        return false;
    }
    stem = text.substr(0, text.size() - tail.size());
    return true;
}
}  // namespace update_files_detail

// True for a name that only a write phase of this installer makes and that no install
// needs: the journal, "tolbex.ini.tijdelijk", "TOLBEX_CORE.DLL.oud.vorig",
// "tolbex_launcher.exe.new.tijdelijk". False for installed names ("tolbex.ini",
// "tolbex_core.dll.oud") and for anything else ("foto.jpg.tijdelijk"). A folder left by a killed
// installation holds only these besides the marker, so it is still the installer's own.
inline bool IsWritePhaseLeftover(const WideString& name) {
    using update_files_detail::CutSuffix;
    if (EqualsAsciiNoCase(name, WidenBytes(kJournalFileName)))
        return true;
    WideString stem;
    if (!CutSuffix(name, kTemporarySuffix, stem) && !CutSuffix(name, kBackupSuffix, stem))
        return false;
    if (!CutSuffix(stem, kAsideSuffix, stem))
        CutSuffix(stem, kOwnFileSuffix, stem);
    std::string narrow;
    for (wchar_t c : stem) {
        if (c <= 0 || c >= 0x80)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    return IsAllowedUpdateFile(narrow);
}
