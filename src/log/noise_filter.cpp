// The noise filter as LogLine uses it: config.ini's diagnose setting read once, then the match.
#include "log/noise_filter.h"

#include <windows.h>

#include <filesystem>

#include "common/path_rules.h"
#include "log/log.h"
#include "log/noise_match.h"

namespace {

// [Tolbex] diagnose from config.ini in the data folder; section and key match in any
// letter case, and a missing file, key or number reads as 0.
int ReadDiagnoseSetting() {
    WideString path;
    try {
        path = PathJoin(AppDataDir(), L"config.ini");
    } catch (const std::filesystem::filesystem_error&) {
        // No data folder at all: nothing to read, so the filter stays on.
        return 0;
    }
    return GetPrivateProfileIntW(L"Tolbex", L"diagnose", 0, path.c_str()) != 0 ? 1 : 0;
}

}  // namespace

bool IsLogNoise(LogState& state, const wchar_t* message) {
    if (state.diagnose < 0)
        state.diagnose = ReadDiagnoseSetting();
    return IsNoiseMessage(state, message);
}
