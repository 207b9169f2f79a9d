// The bytes of installer.txt, built natively and with MinGW.
#include "app/report_text.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(TestReportText, WritesFourCrLfLinesInIso88591) {
    const struct {
        const char* what;
        TestReportValues values;
        std::string expected;
    } cases[] = {
        {"success",
         {L"D:\\Test\\Tolbex", false, true, true},
         "map=D:\\Test\\Tolbex\r\nfout=nee\r\neigen_map=1\r\ngelukt=1\r\n"},
        {"refused",
         {L"D:\\Vol\\Tolbex", true, false, false},
         "map=D:\\Vol\\Tolbex\r\nfout=ja\r\neigen_map=0\r\ngelukt=0\r\n"},
        {"refused own folder",
         {L"D:\\X\\Tolbex", true, true, false},
         "map=D:\\X\\Tolbex\r\nfout=ja\r\neigen_map=1\r\ngelukt=0\r\n"},
        {"servers failed",
         {L"relatief\\Tolbex", false, true, false},
         "map=relatief\\Tolbex\r\nfout=nee\r\neigen_map=1\r\ngelukt=0\r\n"},
        {"empty folder",
         {L"Tolbex", false, false, false},
         "map=Tolbex\r\nfout=nee\r\neigen_map=0\r\ngelukt=0\r\n"},
        {"latin-1 letters are single bytes",
         {L"C:\\Caf\u00e9 \u00ff\\Tolbex", false, true, true},
         "map=C:\\Caf\xe9 \xff\\Tolbex\r\nfout=nee\r\neigen_map=1\r\ngelukt=1\r\n"},
        {"beyond U+00FF becomes ?",
         {L"C:\\\u20ac\u0100x\\Tolbex", false, true, true},
         "map=C:\\??x\\Tolbex\r\nfout=nee\r\neigen_map=1\r\ngelukt=1\r\n"},
        {"a surrogate pair is one character",
         {std::wstring(L"C:\\a") + wchar_t(0xD83D) + wchar_t(0xDE9A) + L"b\\Tolbex", false, false,
          false},
         "map=C:\\a?b\\Tolbex\r\nfout=nee\r\neigen_map=0\r\ngelukt=0\r\n"},
        {"a lone surrogate is one character",
         {std::wstring(L"C:\\") + wchar_t(0xDC00) + wchar_t(0xD800) + L"\\Tolbex", false, false,
          false},
         "map=C:\\??\\Tolbex\r\nfout=nee\r\neigen_map=0\r\ngelukt=0\r\n"},
        {"NUL and LF inside the folder as a text stream writes them",
         {std::wstring(L"a\0b\nc", 5), false, false, false},
         "map=a\0b\r\nc\r\nfout=nee\r\neigen_map=0\r\ngelukt=0\r\n"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TestReportText(c.values), c.expected) << c.what;
    }
}

}  // namespace
