// The install-folder lookups against the test prefix's real registry and known folders.
#include "location/install_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/handles.h"
#include "common/path_rules.h"

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolbex";

void SetInstallLocation(HKEY root, const std::wstring& value) {
    ASSERT_EQ(RegSetKeyValueW(root, kKey, L"InstallLocation", REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void ClearInstallLocation(HKEY root) {
    RegDeleteTreeW(root, kKey);
}

void Touch(const fs::path& file) {
    std::ofstream(file) << "launcher";
}

// Each test starts with no registry value and no launcher in the default folder, and a
// fresh scratch folder in the temporary folder.
class FindExistingInstallTest : public testing::Test {
  protected:
    void SetUp() override {
        ClearInstallLocation(HKEY_CURRENT_USER);
        ClearInstallLocation(HKEY_LOCAL_MACHINE);
        std::error_code ignored;
        fs::remove_all(DefaultInstallDir(), ignored);
        scratch_ = fs::temp_directory_path() / "tolbex_install_dir_test";
        RemoveScratch();
        fs::create_directories(scratch_);
    }
    void TearDown() override {
        ClearInstallLocation(HKEY_CURRENT_USER);
        ClearInstallLocation(HKEY_LOCAL_MACHINE);
        std::error_code ignored;
        fs::remove_all(DefaultInstallDir(), ignored);
        RemoveScratch();
    }
    void RemoveScratch() {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
        ASSERT_FALSE(fs::exists(scratch_)) << "scratch folder left over";
    }
    void PutLauncherInDefault() {
        fs::create_directories(DefaultInstallDir());
        Touch(fs::path(DefaultInstallDir()) / "tolbex_launcher.exe");
    }
    fs::path scratch_;
};

TEST_F(FindExistingInstallTest, ReturnsRegistryFolderVerbatimWhenLauncherIsThere) {
    Touch(scratch_ / "tolbex_launcher.exe");
    const std::wstring withSlash = scratch_.wstring() + L"\\";
    SetInstallLocation(HKEY_CURRENT_USER, withSlash);
    PutLauncherInDefault();
    EXPECT_EQ(FindExistingInstall(), withSlash);
}

TEST_F(FindExistingInstallTest, FallsBackToDefaultFolderWhenRegistryFolderLacksLauncher) {
    SetInstallLocation(HKEY_CURRENT_USER, scratch_.wstring());
    PutLauncherInDefault();
    EXPECT_EQ(FindExistingInstall(), DefaultInstallDir());
}

TEST_F(FindExistingInstallTest, UsesDefaultFolderWhenValueIsMissing) {
    PutLauncherInDefault();
    EXPECT_EQ(FindExistingInstall(), DefaultInstallDir());
}

TEST_F(FindExistingInstallTest, IsEmptyWhenNeitherPlaceHoldsTheLauncher) {
    SetInstallLocation(HKEY_CURRENT_USER, scratch_.wstring());
    EXPECT_EQ(FindExistingInstall(), L"");
}

// Pads a short folder path with "\." steps to exactly the given length: it still names
// the same folder, so only the value's length decides.
std::wstring PaddedTo(const fs::path& folder, std::size_t length) {
    std::wstring padded = folder.wstring();
    while (padded.size() + 2 <= length) padded += L"\\.";
    if (padded.size() < length)
        padded += L"\\";
    return padded;
}

TEST_F(FindExistingInstallTest, IgnoresValueOf260CharactersOrMore) {
    Touch(scratch_ / "tolbex_launcher.exe");
    // 259 characters fit the 260-unit buffer with the NUL; 260 do not.
    const std::wstring fits = PaddedTo(scratch_, 259);
    ASSERT_EQ(fits.size(), 259u);
    SetInstallLocation(HKEY_CURRENT_USER, fits);
    EXPECT_EQ(FindExistingInstall(), fits);

    const std::wstring tooLong = PaddedTo(scratch_, 260);
    ASSERT_EQ(tooLong.size(), 260u);
    SetInstallLocation(HKEY_CURRENT_USER, tooLong);
    EXPECT_EQ(FindExistingInstall(), L"");
    PutLauncherInDefault();
    EXPECT_EQ(FindExistingInstall(), DefaultInstallDir());
}

TEST_F(FindExistingInstallTest, IgnoresTheKeyUnderLocalMachine) {
    Touch(scratch_ / "tolbex_launcher.exe");
    SetInstallLocation(HKEY_LOCAL_MACHINE, scratch_.wstring());
    EXPECT_EQ(FindExistingInstall(), L"");
}

TEST_F(FindExistingInstallTest, CountsAFolderNamedLikeTheLauncher) {
    fs::create_directories(scratch_ / "tolbex_launcher.exe");
    SetInstallLocation(HKEY_CURRENT_USER, scratch_.wstring());
    EXPECT_EQ(FindExistingInstall(), scratch_.wstring());
}

TEST(KnownFolders, DefaultInstallDirIsLocalAppDataProgramsTolbex) {
    const std::wstring local = KnownFolderPath(FOLDERID_LocalAppData);
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(DefaultInstallDir(), local + L"\\Programs\\Tolbex");
    EXPECT_FALSE(KnownFolderPath(FOLDERID_Desktop).empty());
    EXPECT_FALSE(KnownFolderPath(FOLDERID_Programs).empty());
    // An id that names no known folder resolves to nothing.
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(KnownFolderPath(unknown), L"");
}

}  // namespace
