// The weakly canonical form of a path, used to recognise the default install folder
// whatever its spelling.
#pragma once

#include "common/types.h"

// The path made absolute against the current folder, its longest existing leading part
// replaced by that part's final path on disk (links and junctions resolved, the on-disk
// spelling, no \\?\ prefix) and the rest normalised lexically, with no trailing
// separator behind the root. Empty when a status query or the final-path lookup fails
// with an error other than "not found".
//
// Example: with C:\Users\Anna\AppData\Local on disk, "c:/users/anna/appdata/local/./x/.."
// gives "C:\Users\Anna\AppData\Local" and "C:\USERS\anna\AppData\Local\Programs\Tolbex\"
// gives "C:\Users\Anna\AppData\Local\Programs\Tolbex" while Programs does not exist yet.
WideString WeaklyCanonicalPath(const WideString& path);
