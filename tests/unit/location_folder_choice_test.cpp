// The folder picker's choice rule and the path line's text.
#include <gtest/gtest.h>

#include "location/folder_choice.h"

TEST(InstallDirForChoice, JoinsTolbexUnlessTheLastComponentAlreadyIsTolbex) {
    const struct {
        const wchar_t* chosen;
        const wchar_t* installDir;
    } cases[] = {
        {L"D:\\", L"D:\\Tolbex"},
        {L"D:\\Games", L"D:\\Games\\Tolbex"},
        {L"D:\\Games\\tolbex", L"D:\\Games\\tolbex"},
        {L"D:\\Games\\TOLBEX", L"D:\\Games\\TOLBEX"},
        {L"D:\\Games\\Tolbex2", L"D:\\Games\\Tolbex2\\Tolbex"},
        {L"D:\\Games\\Tolbex\\", L"D:\\Games\\Tolbex\\Tolbex"},
        {L"\\\\server\\share\\Tolbex", L"\\\\server\\share\\Tolbex"},
    };
    for (const auto& c : cases) EXPECT_EQ(InstallDirForChoice(c.chosen), c.installDir) << c.chosen;
}

TEST(PathLabelText, AppendsWholeGigabytesAvailableOrNothing) {
    const WideString dir = L"C:\\Users\\anna\\AppData\\Local\\Programs\\Tolbex";
    EXPECT_EQ(PathLabelText(dir, 123456789012u), dir + L"   (114 GB vrij / free)");
    EXPECT_EQ(PathLabelText(dir, 1073741823u), dir + L"   (0 GB vrij / free)");
    EXPECT_EQ(PathLabelText(dir, 1073741824u), dir + L"   (1 GB vrij / free)");
    EXPECT_EQ(PathLabelText(dir, std::uint64_t{5} << 40), dir + L"   (5120 GB vrij / free)");
    EXPECT_EQ(PathLabelText(dir, std::nullopt), dir);
}
