// Checking and preparing the install folder before anything is downloaded.
#pragma once

#include "common/types.h"

// The two refusals, Dutch then English, with static lifetime; callers compare and show
// the pointer and never free it.
extern const wchar_t FolderNotEmptyMessage[];
extern const wchar_t CannotWriteMessage[];

// The marker file that a new or empty install folder receives, and its 89-byte content.
inline constexpr const wchar_t* kMarkerFileName = L"tolbex_map.txt";
extern const char MarkerText[];
inline constexpr std::size_t kMarkerTextSize = 89;

// Checks InstallDir and makes it exist. Null when the folder is accepted:
// - the default folder (whatever its spelling): created with its parents, nothing else;
// - a folder already holding tolbex_launcher.exe: left as it is;
// - a new or empty folder: created with its parents, and the marker written into it.
// FolderNotEmptyMessage for any other existing folder (or a non-empty file at the path);
// nothing has been changed then. CannotWriteMessage when the marker could not be written;
// the folder is removed again if it is empty, parents created on the way stay.
// Main thread only; logs nothing.
const wchar_t* ValidateInstallDir();

// True when the folder's last component is "Tolbex" (ASCII, any case) and something
// exists at folder\tolbex_map.txt. "D:\Games\TOLBEX" can be true; "D:\Games\Tolbex\" is
// false because its last component is empty. Writes nothing.
bool IsOwnFolder(const WideString& folder);
