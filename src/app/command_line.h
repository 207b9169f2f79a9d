// The command-line rule of the entry point (platform-free).
#pragma once

#include "common/types.h"

// True for the test mode: at least three arguments and argument 1 exactly "--proef"
// (case-sensitive, unit by unit). The folder is then argument 2; later ones are ignored.
// A null array is an ordinary command line.
bool IsTestModeCommandLine(int count, const wchar_t* const* arguments);
