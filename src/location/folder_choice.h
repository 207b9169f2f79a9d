// The two text rules of the folder picker and the path line, free of any window code.
#pragma once

#include <cstdint>
#include <optional>

#include "common/types.h"

// The install folder for a folder the user picked: the pick itself when its last
// component already is Tolbex (ASCII letters in any case, the pick's own spelling kept),
// otherwise the pick joined with "Tolbex".
//   D:\Games         -> D:\Games\Tolbex
//   D:\Games\tolbex  -> D:\Games\tolbex
//   D:\Games\Tolbex2 -> D:\Games\Tolbex2\Tolbex
//   D:\              -> D:\Tolbex
WideString InstallDirForChoice(const WideString& chosen);

// The text of the path line: the folder, then "   (N GB vrij / free)" with N the whole
// number of GiB (2^30 bytes, remainder dropped) when the free space is known; the folder
// alone, with no trailing spaces, when it is not.
//   123456789012 bytes -> "C:\x   (114 GB vrij / free)"
WideString PathLabelText(const WideString& installDir, std::optional<std::uint64_t> availableBytes);
