// libFuzzer target over the test report's text. Its folder comes from the command line
// as typed, so any UTF-16 text (lone surrogates, NUL, line feeds, characters beyond
// U+00FF) must give the four report lines, each character of the folder as one byte.
//
// The input: the first byte gives the three yes/no values, every further pair of bytes
// one UTF-16 unit of the folder (little-endian).
#include <cstdint>
#include <string>

#include "app/report_text.h"
#include "fuzz_require.h"

namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Walks the folder and its bytes in step: a line feed as CR LF, U+0000..U+00FF as its
// own byte, anything else (a surrogate pair counting as one character) as one '?'.
void CheckFolderBytes(const WideString& map, const std::string& bytes) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const wchar_t c = map[i];
        REQUIRE(at < bytes.size());
        if (c == L'\n') {
            REQUIRE(bytes.compare(at, 2, "\r\n") == 0);
            at += 2;
            continue;
        }
        if (c <= 0xFF) {
            REQUIRE(static_cast<unsigned char>(bytes[at]) == c);
        } else {
            REQUIRE(bytes[at] == '?');
            if (IsHighSurrogate(c) && i + 1 < map.size() && IsLowSurrogate(map[i + 1]))
                ++i;
        }
        ++at;
    }
    REQUIRE(at == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    TestReportValues values;
    values.fout = (data[0] & 1) != 0;
    values.eigenMap = (data[0] & 2) != 0;
    values.gelukt = (data[0] & 4) != 0;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        values.map.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    const std::string report = TestReportText(values);
    const std::string head = "map=";
    const std::string tail = std::string("\r\nfout=") + (values.fout ? "ja" : "nee") +
                             "\r\neigen_map=" + (values.eigenMap ? "1" : "0") +
                             "\r\ngelukt=" + (values.gelukt ? "1" : "0") + "\r\n";
    REQUIRE(report.size() >= head.size() + tail.size());
    REQUIRE(report.compare(0, head.size(), head) == 0);
    REQUIRE(report.compare(report.size() - tail.size(), tail.size(), tail) == 0);
    CheckFolderBytes(values.map,
                     report.substr(head.size(), report.size() - head.size() - tail.size()));

    // Four lines, each ended by CR LF; a line feed inside the folder is the only way to
    // more, one per line feed, as a text-mode stream would write it.
    std::size_t feeds = 0;
    for (wchar_t c : values.map) feeds += c == L'\n';
    REQUIRE(Count(report, "\r\n") == 4 + feeds);
    REQUIRE(Count(report, "\n") == 4 + feeds);
    return 0;
}
