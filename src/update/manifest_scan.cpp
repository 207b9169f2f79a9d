// The manifest scanners: std::string::find over the raw bytes (the rules and worked
// examples are in the header).
#include "update/manifest_scan.h"

#include <climits>

namespace {

constexpr char kVersionKey[] = "\"version\"";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// atoi from position p, but defined where atoi is not: a value beyond the 32-bit range
// saturates to INT32_MAX or INT32_MIN instead of overflowing.
std::int32_t ReadAtoi(const std::string& text, std::size_t p) {
    const std::size_t size = text.size();
    while (p < size && IsAsciiWhiteSpace(text[p])) ++p;
    bool negative = false;
    if (p < size && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    // Accumulate the magnitude in 64 bits and stop growing once it is past the range.
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    std::int64_t magnitude = 0;
    for (; p < size && IsDigit(text[p]); ++p) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (text[p] - '0');
    }
    if (magnitude > limit)
        magnitude = limit;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::int32_t ScanVersionNumber(const std::string& manifest) {
    const std::size_t key = manifest.find(kVersionKey);
    if (key == std::string::npos)
        return 0;
    // No colon anywhere after the key: there is no value, and 0 is "no version".
    const std::size_t colon = manifest.find(':', key);
    if (colon == std::string::npos)
        return 0;
    return ReadAtoi(manifest, colon + 1);
}

std::vector<std::string> ScanStringArray(const std::string& manifest, const std::string& key) {
    std::vector<std::string> items;
    const std::size_t keyAt = manifest.find(key);
    if (keyAt == std::string::npos)
        return items;
    const std::size_t open = manifest.find('[', keyAt);
    if (open == std::string::npos)
        return items;
    // Without a "]" the array runs to the end of the text.
    std::size_t close = manifest.find(']', open);
    if (close == std::string::npos)
        close = manifest.size();

    // The next opening quote is searched from the byte after p, and p is put one past
    // the closing quote: hence the byte needed between two items.
    for (std::size_t p = open; p < close;) {
        const std::size_t q1 = manifest.find('"', p + 1);
        if (q1 == std::string::npos || q1 > close)
            break;
        const std::size_t q2 = manifest.find('"', q1 + 1);
        // An item without its closing quote is dropped: a server never writes one, and
        // keeping the rest of the text as a file name would only be refused later.
        if (q2 == std::string::npos)
            break;
        items.push_back(manifest.substr(q1 + 1, q2 - q1 - 1));
        p = q2 + 1;
    }
    return items;
}

std::string ScanObjectString(const std::string& manifest, const std::string& key,
                             const std::string& name) {
    const std::size_t keyAt = manifest.find(key);
    if (keyAt == std::string::npos)
        return {};
    // The first "}" closes the object (npos: the object has no end, nothing lies after it).
    const std::size_t end = manifest.find('}', keyAt);
    const std::size_t entry = manifest.find('"' + name + '"', keyAt);
    if (entry == std::string::npos || entry > end)
        return {};
    const std::size_t colon = manifest.find(':', entry);
    if (colon == std::string::npos)
        return {};
    const std::size_t q1 = manifest.find('"', colon);
    if (q1 == std::string::npos || q1 > end)
        return {};
    const std::size_t q2 = manifest.find('"', q1 + 1);
    if (q2 == std::string::npos || q2 > end)
        return {};
    return manifest.substr(q1 + 1, q2 - q1 - 1);
}

WideString VersionNumberText(std::int32_t number) {
    return MakeVersionText(number).units;
}
