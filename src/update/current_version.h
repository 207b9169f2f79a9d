// The release this installer counts as installed (platform-free). Only the number is
// written here; the text that the log shows is made from it at compile time by
// VersionNumberText's rule, so the two cannot disagree.
#pragma once

#include <cstdint>

#include "update/manifest_scan.h"

inline constexpr std::int32_t kCurrentVersionNumber = 299;
inline constexpr VersionText kCurrentVersion = MakeVersionText(kCurrentVersionNumber);
inline constexpr const wchar_t* kCurrentVersionText = kCurrentVersion.units;  // "2.9.9"
