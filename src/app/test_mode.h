#pragma once

#include "common/types.h"

// Installs into folder\Tolbex without a window, writes folder\installer.txt and returns
// the exit code: 0 when the installation succeeded, 1 otherwise.
int RunTestMode(const WideString& folder);
