// Reading the manifest's raw bytes by landmarks (platform-free). The manifest is never
// parsed as JSON: the signature covers its exact bytes, and each value is found by
// searching for its quoted key and the next colon, bracket, brace or quote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/types.h"

std::int32_t ScanVersionNumber(const std::string& manifest);
std::vector<std::string> ScanStringArray(const std::string& manifest, const std::string& key);
std::string ScanObjectString(const std::string& manifest, const std::string& key,
                             const std::string& name);
WideString VersionNumberText(std::int32_t number);
