// Checking and preparing the install folder before anything is downloaded.
#pragma once

#include "common/types.h"

// Null when InstallDir is accepted (it then exists, as far as it could be created, and
// a new or empty folder carries the marker); otherwise one of the two bilingual messages.
const wchar_t* ValidateInstallDir();

// True when the folder's last component is "Tolbex" (ASCII, any case) and something
// exists at folder\tolbex_map.txt.
bool IsOwnFolder(const WideString& folder);
