// The log's noise filter as LogLine uses it: the diagnose setting read once, then the
// platform-free decision of noise_match.h.
#pragma once

#include "log/log_state.h"

// True when LogLine must drop the message. Reads config.ini from AppDataDir once per
// process ([Tolbex] diagnose, nonzero switches filtering off); a missing file, key or
// data folder leaves the filter on. Call with state.mutex held.
bool IsLogNoise(LogState& state, const wchar_t* message);
