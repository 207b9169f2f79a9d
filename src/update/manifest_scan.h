// Reading the manifest's raw bytes by landmarks (platform-free). The manifest is never
// parsed as JSON: the signature covers its exact bytes, and each value is found by
// searching for its quoted key and the next colon, bracket, brace or quote.
//
// Every search runs over the raw bytes, so NUL and bytes above 0x7F are ordinary bytes
// and nothing relies on a terminator. Only the first occurrence of a key counts, even
// one inside a value, and keys are case-sensitive. None of the scanners fails: a missing
// value gives 0, an empty list or an empty text. Any thread; no state kept.
//
// The worked manifest of release 3.0.0:
//   {"version": 300, "files": ["tolbex_core.dll", "tolbex.ini"],
//    "sha256": {"tolbex_core.dll": "a8ae...7c8e", "tolbex.ini": "7ce1...393c"}}
// gives version 300 ("3.0.0"), the files tolbex_core.dll and tolbex.ini, and each one's
// hash text. Line breaks and the order of the keys change nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/types.h"

// The number after "version": atoi from the first colon after the key (which need not
// follow it directly), skipping ASCII white space and taking one sign. Unlike atoi it is
// defined beyond the 32-bit range: the value saturates at INT32_MAX or INT32_MIN.
// 0 when the key or a colon after it is missing, or when no digit follows.
//   "version": 300               -> 300
//   "version": -4x               -> -4
//   "version": 2.9               -> 2
//   "version": "3.0.0"           -> 0 (a quote is no digit)
//   "version": - 5               -> 0
//   "version": 99999999999       -> 2147483647
//   "version" junk , more : 42   -> 42
std::int32_t ScanVersionNumber(const std::string& manifest);

// The quoted strings of the array after key (key with its quotes, e.g. "\"files\""):
// from the first "[" after the key up to the first "]" after that, or to the end of the
// text when there is none. Empty when the key or the "[" is missing. A backslash escapes
// nothing, and an item without its closing quote is dropped with everything after it.
// The next opening quote is looked for from the byte after the last item's closing
// quote, so two items need a byte between them.
//   ["a", "b"]        -> a, b
//   ["a","b"]         -> a, b
//   ["a""b"]          -> a (no byte between the items)
//   ["a"xx;;"b"]      -> a, b
//   ["a]b", "c"]      -> a]b (its "]" ends the array; the item is read to its quote)
//   ["a", "b          -> a
std::vector<std::string> ScanStringArray(const std::string& manifest, const std::string& key);

// The quoted value of "name" in the object after key: the first "name" (exactly, with
// its quotes, case-sensitive) after the key, then the first colon after it, then the
// next quoted text. The object ends at the first "}" after the key, nested or not;
// nothing at or behind it is found. Empty when any piece is missing, which an empty
// value "" cannot be told from.
//   {"a": "0123"}                  name a  -> 0123
//   {"tolbex.ini": "0123"}         name TOLBEX.INI -> "" (case-sensitive)
//   {"n": {"x": "1"}, "a": "0123"} name a  -> "" (the first "}" closed the object)
//   {"a": "01}23"}                 name a  -> ""
//   {"a" junk : junk "0123"}       name a  -> 0123
//   {"a": 5, "b": "0123"}          name a  -> b (the next quoted text after the colon)
std::string ScanObjectString(const std::string& manifest, const std::string& key,
                             const std::string& name);

// The dotted text of a version number: the last two digits are the minor and patch
// numbers, the rest the major. Below 100 there is no dotted form.
//   299 -> 2.9.9   300 -> 3.0.0   1015 -> 10.1.5   99 -> 99   -4 -> -4
WideString VersionNumberText(std::int32_t number);

// The same text as VersionNumberText in a fixed array, so that it can be made at compile
// time: the installer's own version text is made from its number (update/current_version.h).
// The longest text is 12 units, "21474836.4.7".
struct VersionText {
    wchar_t units[16] = {};
};

namespace version_text_detail {
// Appends the decimal digits of value at text[length].
constexpr void AppendDecimal(wchar_t* text, std::size_t& length, std::uint32_t value) {
    wchar_t digits[10] = {};
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) text[length++] = digits[--count];
}
}  // namespace version_text_detail

constexpr VersionText MakeVersionText(std::int32_t number) {
    using version_text_detail::AppendDecimal;
    VersionText text;
    std::size_t length = 0;
    if (number < 100) {
        if (number < 0)
            text.units[length++] = L'-';
        // The magnitude in unsigned arithmetic, which holds that of INT32_MIN too.
        const std::uint32_t magnitude = number < 0 ? 0u - static_cast<std::uint32_t>(number)
                                                   : static_cast<std::uint32_t>(number);
        AppendDecimal(text.units, length, magnitude);
        return text;
    }
    const auto value = static_cast<std::uint32_t>(number);
    AppendDecimal(text.units, length, value / 100);
    text.units[length++] = L'.';
    AppendDecimal(text.units, length, value / 10 % 10);
    text.units[length++] = L'.';
    AppendDecimal(text.units, length, value % 10);
    return text;
}
