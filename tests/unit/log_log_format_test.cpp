#include "log/log_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::wstring Format(const wchar_t* format, ...) {
    wchar_t buffer[256];
    va_list args;
    va_start(args, format);
    FormatWideV(buffer, 256, format, args);
    va_end(args);
    return buffer;
}

// The trap this formatter exists for: MinGW's C99 printf reads %s in a wide format as
// 8-bit text and %S as wide, the opposite of Windows. Every caller relies on the Windows
// meanings, so a swap shows up here as garbage or a crash.
TEST(LogFormat, KeepsWindowsMeaningsOfWideAndNarrowStrings) {
    EXPECT_EQ(Format(L"%s|%S|%ls|%hs", L"wide", "narrow", L"L", "h"), L"wide|narrow|L|h");
    EXPECT_EQ(Format(L"Schrijven van %s mislukt (%lu)", L"C:\\T\\tolbex.ini", 5ul),
              L"Schrijven van C:\\T\\tolbex.ini mislukt (5)");
    EXPECT_EQ(Format(L"Bijgewerkt: %s (%zu bytes)", L"tolbex.ini", std::size_t{4294967296ull}),
              L"Bijgewerkt: tolbex.ini (4294967296 bytes)");
    EXPECT_EQ(Format(L"Update GEWEIGERD: onbekende bestandsnaam '%S' in het manifest", "a\xe9"),
              L"Update GEWEIGERD: onbekende bestandsnaam 'a\u00e9' in het manifest");
}

TEST(LogFormat, NumbersWidthsAndLiterals) {
    EXPECT_EQ(Format(L"[%02d:%02d:%02d.%03d]", 7, 5, 59, 42), L"[07:05:59.042]");
    EXPECT_EQ(Format(L"%d %i %u %x %X", -12, 0, 4294967295u, 255u, 255u),
              L"-12 0 4294967295 ff FF");
    EXPECT_EQ(Format(L"%lu", 4294967295ul), L"4294967295");
    EXPECT_EQ(Format(L"%05d|%-4d|%4s", -42, 7, L"ab"), L"-0042|7   |  ab");
    EXPECT_EQ(Format(L"100%% %c", L'x'), L"100% x");
    EXPECT_EQ(Format(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
    EXPECT_EQ(Format(L"%q and %"), L"%q and %");
}

TEST(LogFormat, CutsOutputThatDoesNotFitAndAlwaysTerminates) {
    wchar_t buffer[8];
    EXPECT_EQ(FormatWide(buffer, 8, L"%s", L"0123456789"), 7u);
    EXPECT_EQ(std::wstring(buffer), L"0123456");
    EXPECT_EQ(FormatWide(buffer, 1, L"abc"), 0u);
    EXPECT_EQ(buffer[0], L'\0');

    std::wstring longText(5000, L'y');
    wchar_t big[2048];
    EXPECT_EQ(FormatWide(big, 2048, L"x%s", longText.c_str()), 2047u);
    EXPECT_EQ(std::wstring(big), L"x" + std::wstring(2046, L'y'));
}

}  // namespace
