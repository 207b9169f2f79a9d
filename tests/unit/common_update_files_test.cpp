// The names of an update: which list names one allowed file twice.
#include "common/update_files.h"

#include <gtest/gtest.h>

namespace {

TEST(RepeatedUpdateFile, FindsTheSecondEntryOfAnAllowedNameInAnyAsciiCase) {
    const struct {
        std::vector<std::string> names;
        std::string repeated;
    } cases[] = {
        {{}, ""},
        {{"tolbex.ini", "tolbex_core.dll", "Vonkel.dll"}, ""},
        {{"tolbex.ini", "tolbex_launcher.exe", "tolbex.ini"}, "tolbex.ini"},
        {{"tolbex.ini", "TOLBEX.INI"}, "TOLBEX.INI"},
        // The first name repeated is the one reported, as the list goes.
        {{"Vonkel.dll", "tolbex.ini", "tolbex.ini", "VONKEL.DLL"}, "tolbex.ini"},
        // Names outside the allowed list are the name check's: not repeats here.
        {{"foto.jpg", "foto.jpg", "tolbex.ini"}, ""},
        {{"tolbex.ini", "tolbex.ini ", "sub/tolbex.ini"}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RepeatedUpdateFile(c.names), c.repeated) << testing::PrintToString(c.names);
    }
}

TEST(IsWritePhaseLeftover, TakesTheJournalAndTheSuffixedNamesOnly) {
    EXPECT_TRUE(IsWritePhaseLeftover(L"tolbex_bijwerken.journaal"));
    EXPECT_TRUE(IsWritePhaseLeftover(L"TOLBEX_BIJWERKEN.JOURNAAL"));
    EXPECT_TRUE(IsWritePhaseLeftover(L"tolbex_launcher.exe.new.tijdelijk"));
    EXPECT_FALSE(IsWritePhaseLeftover(L"tolbex_bijwerken.journaal.vorig"));
    EXPECT_FALSE(IsWritePhaseLeftover(L"tolbex_core.dll.oud"));
}

}  // namespace
