// Writing verified files into the install folder.
#pragma once

#include "common/types.h"

// Creates or truncates target and writes contents in one WriteFile. False with the
// failing step's code in GetLastError.
bool WriteWholeFile(const WideString& target, const ByteBuffer& contents);

// WriteWholeFile; when that fails, moves the old file aside to target + ".oud" (replacing
// an older aside file) and writes again. False with the first write's code when the
// move fails, or the second write's code when that fails.
bool ReplaceFileInUse(const WideString& target, const ByteBuffer& contents);
