// The names an update may write (platform-free): the installer's download check and the
// publisher's release tool use this one rule.
#pragma once

#include <algorithm>
#include <iterator>
#include <string>

#include "common/types.h"

// The only names an update may write, compared ASCII case-insensitively as whole names.
inline constexpr const char* kAllowedUpdateFiles[] = {
    "tolbex_launcher.exe", "tolbex_core.dll", "tolbex_telemetry.dll", "tolbex.ini", "Vonkel.dll"};

// "TOLBEX_CORE.DLL" is allowed; "sub\tolbex.ini" and "tolbex.ini " are not.
inline bool IsAllowedUpdateFile(const std::string& name) {
    return std::any_of(
        std::begin(kAllowedUpdateFiles), std::end(kAllowedUpdateFiles),
        [&](const char* allowed) { return EqualsAsciiNoCase(name, std::string(allowed)); });
}
