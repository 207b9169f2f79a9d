// libFuzzer target over the four manifest scanners. The manifest is whatever a server
// sends, so every byte sequence must scan without a read past the text, and the
// results must keep the properties the update run relies on.
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "update/manifest_scan.h"

namespace {

void CheckArray(const std::string& text, const std::string& key) {
    std::size_t total = 0;
    for (const std::string& item : ScanStringArray(text, key)) {
        // An item ends at the very next quote, so it can never hold one.
        REQUIRE(item.find('"') == std::string::npos);
        total += item.size() + 2;
    }
    REQUIRE(total <= text.size());
}

void CheckObject(const std::string& text, const std::string& name) {
    const std::string value = ScanObjectString(text, "\"sha256\"", name);
    REQUIRE(value.find('"') == std::string::npos);
    REQUIRE(value.empty() || text.find('"' + value + '"') != std::string::npos);
}

void CheckVersion(const std::string& text) {
    const std::int32_t version = ScanVersionNumber(text);
    const std::wstring dotted = VersionNumberText(version);
    REQUIRE(!dotted.empty());
    if (version >= 100)
        REQUIRE(dotted.find(L'.') != std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckVersion(text);
    CheckArray(text, "\"files\"");
    // Names taken from the text itself reach the entries that exist; a fixed one and
    // the empty name cover the misses.
    for (const std::string& name : ScanStringArray(text, "\"files\"")) CheckObject(text, name);
    CheckObject(text, "tolbex.ini");
    CheckObject(text, "");
    return 0;
}
