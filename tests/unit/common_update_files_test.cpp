// The names of an update: which list names one allowed file twice, and which names only
// a write phase makes.
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

// The worked examples of the rule's comment first, then the edges: each suffix and each
// aside form, letters in any case, and every way a name can come close and still not be
// the installer's own (another stem, two aside forms, a suffix in the wrong place, a
// character beyond ASCII that a case-blind compare might fold).
TEST(IsWritePhaseLeftover, NamesOnlyTheJournalAndAStagedOrBackupFileOfAnAllowedName) {
    const struct {
        const wchar_t* name;
        bool leftover;
    } cases[] = {
        {L"tolbex_bijwerken.journaal", true},
        {L"tolbex.ini.tijdelijk", true},
        {L"TOLBEX_CORE.DLL.oud.vorig", true},
        {L"tolbex_launcher.exe.new.tijdelijk", true},
        {L"tolbex.ini", false},
        {L"tolbex_core.dll.oud", false},
        {L"foto.jpg.tijdelijk", false},

        {L"TOLBEX_BIJWERKEN.JOURNAAL", true},
        {L"Vonkel.dll.vorig", true},
        {L"tolbex_telemetry.dll.TIJDELIJK", true},
        {L"tolbex.ini.Oud.Tijdelijk", true},
        {L"tolbex_core.dll.new.vorig", true},
        // Kept after an update: an aside file and the running program's own new file.
        {L"tolbex_launcher.exe.new", false},
        {L"tolbex.ini.oud.new", false},
        // The journal is one whole name and takes no suffix; a suffix is one, at the end.
        {L"kopie van tolbex_bijwerken.journaal", false},
        {L"tolbex_bijwerken.journaal.vorig", false},
        {L"tolbex_bijwerken.journaal.tijdelijk", false},
        {L"tolbex.ini.tijdelijk.vorig", false},
        {L"tolbex.ini.vorig.oud", false},
        {L"tolbex.ini.oud.oud.vorig", false},
        {L"tolbex.ini.new.oud.tijdelijk", false},
        // A suffix alone, or on a stem that is not a whole allowed name.
        {L".tijdelijk", false},
        {L".oud.vorig", false},
        {L"tolbex.ini..tijdelijk", false},
        {L"tolbex.ini .tijdelijk", false},
        {L"tolbex.ini.tijdelijk ", false},
        {L"sub\\tolbex.ini.tijdelijk", false},
        {L"tolbex.ini.tijdelijkk", false},
        {L"tolbex.ini.vorig2", false},
        // Beyond ASCII: a dotless i (U+0131), a Kelvin sign (U+212A), a fullwidth t
        // (U+FF54) and a u with tilde (U+0169, whose low byte is "i") are other names, not
        // other spellings.
        {L"tolbex.\x0131ni.tijdelijk", false},
        {L"tolbex.\x0169ni.tijdelijk", false},
        {L"tolbex.ini.tijdelij\x212A", false},
        {L"tolbex.ini.\xFF54ijdelijk", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWritePhaseLeftover(c.name), c.leftover)
            << testing::PrintToString(std::wstring(c.name));
    }
}

}  // namespace
