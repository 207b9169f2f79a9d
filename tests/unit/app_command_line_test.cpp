#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool TestMode(std::vector<const wchar_t*> args) {
    return IsTestModeCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, TestModeNeedsProefExactlyInFirstPlaceAndAFolder) {
    EXPECT_TRUE(TestMode({L"TolbexSetup.exe", L"--proef", L"C:\\Test"}));
    EXPECT_TRUE(TestMode({L"TolbexSetup.exe", L"--proef", L"C:\\Test", L"extra", L"--x"}));
    EXPECT_TRUE(TestMode({L"TolbexSetup.exe", L"--proef", L""}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"--proef"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"--Proef", L"C:\\Test"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"--PROEF", L"C:\\Test"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"C:\\Test", L"--proef"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"--proef ", L"C:\\Test"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe", L"-proef", L"C:\\Test"}));
    EXPECT_FALSE(TestMode({L"TolbexSetup.exe"}));
    EXPECT_FALSE(IsTestModeCommandLine(3, nullptr));
}

}  // namespace
