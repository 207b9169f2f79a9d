// The one record the log keeps between calls. Created by the first LogLine call,
// destroyed at process exit; every field is touched only under the mutex.
#pragma once

#include <mutex>
#include <ostream>

#include "common/types.h"

struct LogState {
    std::mutex mutex;
    // -1 until config.ini has been read, then 0 (filter active) or 1 (diagnostics on).
    int diagnose = -1;
    // The last message of each repeat prefix that the filter let through.
    WideString lastRepeatLines[2];
    // Optional stream that each accepted line also goes to, first, with a wall-clock
    // stamp. The installer itself never attaches one; tests do, to read the lines.
    std::wostream* stream = nullptr;
};
