// The noise filter's decision once the diagnose setting is known (platform-free).
#pragma once

#include "log/log_state.h"

// With the filter active (state.diagnose == 0): true for a message that begins with one
// of the 14 always-suppressed prefixes, or that repeats the last message let through
// with the same repeat prefix; a repeat-prefix message that passes becomes that
// prefix's last line. With diagnostics on, false and nothing is recorded.
// Call with state.mutex held.
bool IsNoiseMessage(LogState& state, const wchar_t* message);
