// Folder validation and the marker file against the real file system under Wine.
#include "location/validation.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/path_rules.h"
#include "location/canonical_path.h"
#include "location/install_dir.h"
#include "tree_digest.h"

namespace fs = std::filesystem;

namespace {

using test_support::TreeDigest;

const std::string kMarker =
    "Deze map is van Tolbex (gekozen in de installer). Bij verwijderen gaat de hele map weg.\r\n";

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring Upper(std::wstring text) {
    for (auto& c : text) c = (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c;
    return text;
}

std::wstring Slashed(std::wstring text) {
    std::replace(text.begin(), text.end(), L'\\', L'/');
    return text;
}

// Where a case's folder lives: a scratch folder in the temporary folder and the prefix's
// real default install folder.
struct Places {
    fs::path scratch;
    fs::path defaultDir;
};

enum class Leaves {
    kMarkerOnly,     // the folder exists and holds exactly the marker with its 89 bytes
    kEmptyFolder,    // the folder exists and is empty
    kUnchanged,      // scratch and default trees are byte for byte as before
    kNothingAtPath,  // nothing exists at the folder's path any more
};

struct ValidationCase {
    const char* name;
    std::function<std::wstring(const Places&)> arrange;  // prepares disk, returns InstallDir
    const wchar_t* expected;
    Leaves leaves;
};

void PrintTo(const ValidationCase& c, std::ostream* out) {
    *out << c.name;
}

const ValidationCase kCases[] = {
    {"AcceptsDefaultSpelledWithOtherCapitalsEvenHoldingForeignFiles",
     [](const Places& p) {
         Write(p.defaultDir / "notes.txt", "foreign");
         return Upper(p.defaultDir.wstring());
     },
     nullptr, Leaves::kUnchanged},
    {"AcceptsDefaultSpelledWithForwardSlashes",
     [](const Places& p) {
         Write(p.defaultDir / "sub" / "data.bin", "foreign");
         return Slashed(p.defaultDir.wstring()) + L"/";
     },
     nullptr, Leaves::kUnchanged},
    {"AcceptsDefaultSpelledWithDotSegments",
     [](const Places& p) {
         Write(p.defaultDir / "notes.txt", "foreign");
         return (p.defaultDir.parent_path() / L"." / L"elders" / L".." / L"Tolbex").wstring();
     },
     nullptr, Leaves::kUnchanged},
    {"CreatesMissingDefaultWithoutMarker",
     [](const Places& p) { return Upper(p.defaultDir.wstring()); }, nullptr, Leaves::kEmptyFolder},
    {"CreatesNewFolderSeveralLevelsDeepWithMarker",
     [](const Places& p) { return (p.scratch / "a" / "b" / "c" / "Tolbex").wstring(); }, nullptr,
     Leaves::kMarkerOnly},
    {"MarksAnExistingEmptyFolder",
     [](const Places& p) {
         fs::create_directories(p.scratch / "leeg");
         return (p.scratch / "leeg").wstring();
     },
     nullptr, Leaves::kMarkerOnly},
    {"RefusesFolderHoldingOnlyAHiddenFile",
     [](const Places& p) {
         const fs::path ini = p.scratch / "verborgen" / "desktop.ini";
         Write(ini, "[.ShellClassInfo]");
         EXPECT_TRUE(
             SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
         EXPECT_TRUE(GetFileAttributesW(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN);
         return ini.parent_path().wstring();
     },
     FolderNotEmptyMessage, Leaves::kUnchanged},
    {"AcceptsFolderHoldingTheLauncherAndLeavesItsMarkerAlone",
     [](const Places& p) {
         Write(p.scratch / "Tolbex" / "tolbex_launcher.exe", "launcher");
         Write(p.scratch / "Tolbex" / "tolbex.ini", "settings");
         Write(p.scratch / "Tolbex" / "tolbex_map.txt", "an older marker");
         return (p.scratch / "Tolbex").wstring();
     },
     nullptr, Leaves::kUnchanged},
    // A first installation that failed leaves the marker; one that was killed while it
    // wrote may leave its temporary files too. The folder is still the installer's own.
    {"AcceptsItsOwnFolderHoldingOnlyTheMarker",
     [](const Places& p) {
         Write(p.scratch / "Tolbex" / "tolbex_map.txt", kMarker);
         return (p.scratch / "Tolbex").wstring();
     },
     nullptr, Leaves::kMarkerOnly},
    {"AcceptsItsOwnFolderHoldingTheMarkerAndTemporaryFiles",
     [](const Places& p) {
         Write(p.scratch / "Tolbex" / "tolbex_map.txt", kMarker);
         Write(p.scratch / "Tolbex" / "tolbex_core.dll.tijdelijk", "half written");
         Write(p.scratch / "Tolbex" / "TOLBEX.INI.vorig", "kept");
         Write(p.scratch / "Tolbex" / "tolbex_bijwerken.journaal", "tolbex.ini\r\neinde\r\n");
         return (p.scratch / "Tolbex").wstring();
     },
     nullptr, Leaves::kUnchanged},
    {"RefusesTheMarkerBesideAForeignEntry",
     [](const Places& p) {
         Write(p.scratch / "Tolbex" / "tolbex_map.txt", kMarker);
         Write(p.scratch / "Tolbex" / "foto.jpg.tijdelijk", "the user's");
         return (p.scratch / "Tolbex").wstring();
     },
     FolderNotEmptyMessage, Leaves::kUnchanged},
    {"RefusesNonEmptyFileAtThePath",
     [](const Places& p) {
         Write(p.scratch / "Tolbex", "a file, not a folder");
         return (p.scratch / "Tolbex").wstring();
     },
     FolderNotEmptyMessage, Leaves::kUnchanged},
    {"CannotWriteBelowAnEmptyFileAndKeepsIt",
     [](const Places& p) {
         Write(p.scratch / "Tolbex", "");
         return (p.scratch / "Tolbex").wstring();
     },
     CannotWriteMessage, Leaves::kUnchanged},
    {"CannotWriteWhereNoFolderCanBeCreated",
     [](const Places& p) { return (p.scratch / "bad|name" / "Tolbex").wstring(); },
     CannotWriteMessage, Leaves::kUnchanged},
    // Win32 drops trailing spaces from the last component of a path only: "leeg " names
    // the empty folder "leeg" for the status query, the listing, the creation and the
    // removal, but "leeg \tolbex_map.txt" names a folder "leeg " that cannot exist. So the
    // folder is an existing empty folder in which the marker cannot be created, whatever
    // the rights of the user (these tests run as root, where rights stop nothing).
    {"CannotWriteInExistingEmptyFolderAndKeepsIt",
     [](const Places& p) {
         fs::create_directories(p.scratch / "leeg");
         const std::wstring folder = (p.scratch / "leeg").wstring() + L" ";
         EXPECT_TRUE(PathExists(folder));
         EXPECT_TRUE(fs::is_empty(fs::path(folder)));
         EXPECT_FALSE(std::ofstream(fs::path(folder) / "probe.txt")) << "cause not in effect";
         EXPECT_TRUE(std::ofstream(p.scratch / "leeg" / "probe.txt")) << "folder not writable";
         fs::remove(p.scratch / "leeg" / "probe.txt");
         return folder;
     },
     CannotWriteMessage, Leaves::kUnchanged},
    // The same cause in a folder that this call creates: that folder goes again.
    {"CannotWriteInANewFolderAndRemovesIt",
     [](const Places& p) {
         const std::wstring folder = (p.scratch / "nieuw").wstring() + L" ";
         EXPECT_FALSE(PathExists(folder));
         return folder;
     },
     CannotWriteMessage, Leaves::kNothingAtPath},
};

class ValidateInstallDirTest : public testing::TestWithParam<ValidationCase> {
  protected:
    void SetUp() override {
        places_.scratch = fs::temp_directory_path() / "tolbex_validation_test";
        places_.defaultDir = DefaultInstallDir();
        ASSERT_FALSE(places_.defaultDir.empty());
        Clean();
        fs::create_directories(places_.scratch);
    }
    void TearDown() override { Clean(); }
    void Clean() {
        std::error_code ignored;
        fs::remove_all(places_.scratch, ignored);
        fs::remove_all(places_.defaultDir, ignored);
    }
    std::string Digest() const {
        return TreeDigest(places_.scratch) + "--\n" + TreeDigest(places_.defaultDir);
    }
    Places places_;
};

TEST_P(ValidateInstallDirTest, Validates) {
    const ValidationCase& c = GetParam();
    InstallDir = c.arrange(places_);
    const std::string before = Digest();

    const wchar_t* message = ValidateInstallDir();

    EXPECT_EQ(message, c.expected);
    const fs::path folder(InstallDir);
    switch (c.leaves) {
        case Leaves::kMarkerOnly:
            EXPECT_EQ(Read(folder / "tolbex_map.txt"), kMarker);
            EXPECT_EQ(TreeDigest(folder), "tolbex_map.txt\n" + kMarker + "\n");
            break;
        case Leaves::kEmptyFolder:
            EXPECT_TRUE(fs::is_directory(folder));
            EXPECT_TRUE(fs::is_empty(folder));
            break;
        case Leaves::kUnchanged:
            EXPECT_EQ(Digest(), before);
            break;
        case Leaves::kNothingAtPath:
            EXPECT_FALSE(PathExists(InstallDir));
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, ValidateInstallDirTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValidationMessages, AreTheBilingualTexts) {
    EXPECT_STREQ(FolderNotEmptyMessage,
                 L"Deze map is niet leeg. Kies een lege map of een andere schijf.\n\n"
                 L"This folder is not empty. Choose an empty folder or another drive.");
    EXPECT_STREQ(CannotWriteMessage,
                 L"Tolbex mag hier niet schrijven (bijvoorbeeld in Program Files). Kies een "
                 L"andere map.\n\nTolbex cannot write here (for example Program Files). Choose "
                 L"another folder.");
}

TEST(IsOwnFolder, NeedsTheNameTolbexInAnyCaseAndTheMarker) {
    const fs::path scratch = fs::temp_directory_path() / "tolbex_own_folder_test";
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    Write(scratch / "TOLBEX" / "tolbex_map.txt", kMarker);
    Write(scratch / "Anders" / "tolbex_map.txt", kMarker);
    fs::create_directories(scratch / "Leeg" / "Tolbex");
    fs::create_directories(scratch / "Dir" / "Tolbex" / "tolbex_map.txt");

    const struct {
        std::wstring folder;
        bool expected;
    } cases[] = {
        {(scratch / "TOLBEX").wstring(), true},
        {(scratch / "tolbex").wstring(), true},
        {Slashed((scratch / "TOLBEX").wstring()), true},
        {(scratch / "TOLBEX").wstring() + L"\\", false},  // last component is empty
        {(scratch / "TOLBEX").wstring() + L"/", false},
        {(scratch / "Anders").wstring(), false},
        {(scratch / "Leeg" / "Tolbex").wstring(), false},
        {(scratch / "Dir" / "Tolbex").wstring(), true},  // anything at the marker's name
        {(scratch / "Missing" / "Tolbex").wstring(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsOwnFolder(c.folder), c.expected) << fs::path(c.folder).string();
    }
    fs::remove_all(scratch, ignored);
}

TEST(WeaklyCanonicalPath, GivesOnDiskSpellingAndNormalisesTheMissingRest) {
    const fs::path scratch = fs::temp_directory_path() / "tolbex_canonical_test";
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    fs::create_directories(scratch / "MixedCase" / "Sub");
    const std::wstring onDisk = WeaklyCanonicalPath(scratch.wstring());
    ASSERT_FALSE(onDisk.empty());
    ASSERT_EQ(onDisk.rfind(L"\\\\?\\", 0), std::wstring::npos);

    const std::wstring base = scratch.wstring();
    const struct {
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {base + L"\\mixedcase\\SUB", onDisk + L"\\MixedCase\\Sub"},
        {Slashed(base) + L"/MIXEDCASE/sub/", onDisk + L"\\MixedCase\\Sub"},
        {base + L"\\MixedCase\\.\\Sub\\..\\new\\.\\deeper\\", onDisk + L"\\MixedCase\\new\\deeper"},
        {base + L"\\mixedcase\\Nieuw\\..\\Sub\\x", onDisk + L"\\MixedCase\\Sub\\x"},
        {base + L"\\MixedCase\\Sub\\\\\\x", onDisk + L"\\MixedCase\\Sub\\x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WeaklyCanonicalPath(c.path), c.expected) << fs::path(c.path).string();
    }
    fs::remove_all(scratch, ignored);
}

}  // namespace
