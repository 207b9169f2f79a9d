// One update run: bring a folder to what one update server publishes.
#pragma once

#include <cstdint>

#include "common/types.h"

struct UpdateResult {
    bool serverReached = false;
    bool filesChanged = false;
    bool selfUpdateStaged = false;
    std::int32_t manifestVersion = 0;
    WideString statusText;
};

UpdateResult RunUpdate(const WideString& baseUrl, const WideString& folder, bool apply, bool force);

// printf-style (log_format.h meanings) into a 2048-unit buffer.
WideString FormatStatusText(const wchar_t* format, ...);
