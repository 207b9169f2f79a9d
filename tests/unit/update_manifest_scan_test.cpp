// The manifest scanners on raw bytes: the worked release-3.0.0 manifest, then the byte
// rules a hostile or careless server can reach (atoi saturation, the two-byte gap
// between array items, the first "}" closing the object).
#include "update/manifest_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;
using namespace std::string_literals;

const std::string kCoreHash = "a8ae6e6ee929abea3afcfc5258c8ccd6f85273e0d4626d26c7279f3250f77c8e";
const std::string kIniHash = "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c";
const std::string kRelease300 =
    "{\"version\": 300, \"files\": [\"tolbex_core.dll\", \"tolbex.ini\"], \"sha256\": "
    "{\"tolbex_core.dll\": \"" +
    kCoreHash + "\", \"tolbex.ini\": \"" + kIniHash + "\"}}";

TEST(ManifestScan, ReadsTheWorkedRelease300Manifest) {
    EXPECT_EQ(ScanVersionNumber(kRelease300), 300);
    EXPECT_EQ(VersionNumberText(ScanVersionNumber(kRelease300)), L"3.0.0");
    EXPECT_EQ(ScanStringArray(kRelease300, "\"files\""), (Items{"tolbex_core.dll", "tolbex.ini"}));
    EXPECT_EQ(ScanObjectString(kRelease300, "\"sha256\"", "tolbex_core.dll"), kCoreHash);
    EXPECT_EQ(ScanObjectString(kRelease300, "\"sha256\"", "tolbex.ini"), kIniHash);
}

TEST(ManifestScan, LineBreaksAndKeyOrderChangeNothing) {
    const std::string spread = "{\r\n  \"sha256\": {\r\n    \"tolbex.ini\": \"" + kIniHash +
                               "\"\r\n  },\r\n  \"files\": [\r\n    \"tolbex.ini\"\r\n  ],\r\n"
                               "  \"version\":\r\n    301\r\n}\r\n";
    EXPECT_EQ(ScanVersionNumber(spread), 301);
    EXPECT_EQ(ScanStringArray(spread, "\"files\""), Items{"tolbex.ini"});
    EXPECT_EQ(ScanObjectString(spread, "\"sha256\"", "tolbex.ini"), kIniHash);
}

TEST(ManifestScan, VersionReadsLikeAtoiWithSaturation) {
    const struct {
        std::string text;
        std::int32_t version;
    } cases[] = {
        {"{\"version\": 300}", 300},
        {"{\"version\":-4}", -4},
        {"{\"version\": +12}", 12},
        {"{\"version\": 2.9}", 2},
        {"{\"version\": \"3.0.0\"}", 0},
        {"{\"version\": \t\n\v\f\r 299}", 299},
        {"{\"version\": - 5}", 0},
        {"{\"version\": }", 0},
        {"{\"version\": 2147483647}", 2147483647},
        {"{\"version\": 2147483648}", 2147483647},
        {"{\"version\": 99999999999999999999999}", 2147483647},
        {"{\"version\": -2147483648}", INT32_MIN},
        {"{\"version\": -2147483649}", INT32_MIN},
        {"{\"version\": 000000000000000000000300}", 300},
        {"{\"Version\": 300}", 0},
        {"{\"files\": []}", 0},
        {"\"version\"", 0},  // no colon anywhere after the key
        {"\"versio", 0},     // shorter than the key
        {"", 0},
        {"\"version\"\0: 7"s, 7},                        // NUL is an ordinary byte
        {"{\"version\": 300", 300},                      // digits up to the end of the text
        {"\"a\": \"version\": 5, \"version\": 300", 5},  // the first occurrence wins
        {"\"version\" junk , more : 42", 42},            // the colon need not be next
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanVersionNumber(c.text), c.version) << c.text;
    }
}

TEST(ManifestScan, StringArrayCases) {
    const struct {
        std::string text;
        Items items;
    } cases[] = {
        {"{\"files\": []}", {}},
        {"{\"files\": 3}", {}},  // no "[" after the key
        {"{\"other\": [\"a\"]}", {}},
        {"{\"files\": [\"\", \"a\"]}", {"", "a"}},
        {"{\"files\": [\"a\" \"b\"\t\"c\"]}", {"a", "b", "c"}},
        {"{\"files\": [\"a\"xx;;\"b\"]}", {"a", "b"}},
        // One byte between the items is needed: the search restarts two bytes on.
        {"{\"files\": [\"a\"\"b\"]}", {"a"}},
        {"{\"files\": [\"a\",\"b\"]}", {"a", "b"}},
        // The bracket may stand anywhere after the key.
        {"{\"files\": \"x\" : [\"a\"]}", {"a"}},
        // A backslash escapes nothing; the unterminated "]} after b is dropped.
        {"{\"files\" [\"a\\\"b\"]}", {"a\\"}},
        // An item opened before the first "]" is read to its quote, then scanning stops.
        {"{\"files\": [\"a]b\", \"c\"]}", {"a]b"}},
        // Without a "]" every quoted string up to the end counts.
        {"{\"files\": [\"a\", \"sha256\": {\"a\": \"h\"}}", {"a", "sha256", "a", "h"}},
        // An unterminated item is dropped; the items before it are kept.
        {"{\"files\": [\"a\", \"b", {"a"}},
        {"{\"files\": [\"tolbex.ini\0x\", \"\xe9\"]}"s, {"tolbex.ini\0x"s, "\xe9"}},
        // Only the first occurrence of the key is looked at, even inside a value.
        {"{\"a\": \"files\", \"b\": [\"x\"], \"files\": [\"real\"]}", {"x"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanStringArray(c.text, "\"files\""), c.items) << c.text;
    }
}

TEST(ManifestScan, ObjectStringCases) {
    const std::string h = "0123";
    const struct {
        std::string text;
        std::string name;
        std::string value;
    } cases[] = {
        {"{\"sha256\": {\"a\": \"0123\"}}", "a", h},
        {"{\"sha256\": {\"a\": \"\"}}", "a", ""},  // empty looks like missing
        {"{\"sha256\": {\"b\": \"0123\"}}", "a", ""},
        {"{\"sha256\": {\"tolbex.ini\": \"0123\"}}", "TOLBEX.INI", ""},   // case-sensitive
        {"{\"sha256\": {\"xtolbex.ini\": \"0123\"}}", "tolbex.ini", ""},  // no partial name
        {"{\"sha256\": {\"tolbex.ini.oud\": \"0123\"}}", "tolbex.ini", ""},
        // The first "}" after the key closes the object: nothing behind it is found.
        {"{\"sha256\": {\"n\": {\"x\": \"1\"}, \"a\": \"0123\"}}", "a", ""},
        {"{\"sha256\": {\"a\": \"01}23\"}}", "a", ""},
        // Without any "}" the object has no end.
        {"{\"sha256\": {\"a\": \"0123\"", "a", h},
        {"{\"sha256\": {\"a\": \"0123", "a", ""},     // no closing quote
        {"{\"sha256\": {\"a\" \"0123\"}}", "a", ""},  // no colon: none anywhere after
        // The colon need not follow directly, and the value is the next quoted text.
        {"{\"sha256\": {\"a\" junk : junk \"0123\"}}", "a", h},
        {"{\"sha256\": {\"a\": 5, \"b\": \"0123\"}}", "a", "b"},
        // The entry is searched from the key on, not inside the object only.
        {"{\"sha256\": \"a\": \"0123\"}", "a", h},
        {"{\"a\": \"9999\", \"sha256\": {\"a\": \"0123\"}}", "a", h},
        {"{\"sha256\": {\"a\": \" 0123 \"}}", "a", " 0123 "},
        {"{\"sha256\"}", "a", ""},
        {"{\"files\": [\"a\"]}", "a", ""},
        {"{\"sha256\": {\"\": \"0123\"}}", "", h},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanObjectString(c.text, "\"sha256\"", c.name), c.value)
            << c.text << " / " << c.name;
    }
}

TEST(ManifestScan, VersionNumberTextDotsFrom100Up) {
    const struct {
        std::int32_t number;
        const wchar_t* text;
    } cases[] = {
        {299, L"2.9.9"},
        {300, L"3.0.0"},
        {1015, L"10.1.5"},
        {100, L"1.0.0"},
        {99, L"99"},
        {0, L"0"},
        {-4, L"-4"},
        {INT32_MIN, L"-2147483648"},
        {INT32_MAX, L"21474836.4.7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionNumberText(c.number), c.text) << c.number;
    }
}

}  // namespace
