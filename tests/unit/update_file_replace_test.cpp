// WriteWholeFile and ReplaceFileInUse under Wine, against files really held open by a
// second handle: with read and delete sharing (cannot be written, can be renamed) and
// with no sharing at all (neither).
#include "update/file_replace.h"

#include <windows.h>

#include "common/handles.h"
#include "update_test_support.h"

namespace {

using update_test::Bytes;
using update_test::ReadAll;
using update_test::WriteAll;

// A second handle on an existing file, read access, with the given sharing.
FileHandle HoldOpen(const WideString& path, DWORD share) {
    return FileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

constexpr DWORD kReadDeleteSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

class FileReplaceTest : public update_test::EngineTest {};

TEST_F(FileReplaceTest, CreatesNewFileAndEmptyFileWithoutAsideOrLine) {
    ASSERT_TRUE(ReplaceFileInUse(Path("tolbex.ini"), Bytes("nieuw")));
    ASSERT_TRUE(WriteWholeFile(Path("leeg.dll"), ByteBuffer{}));
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini"), "nieuw");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "leeg.dll"));
    EXPECT_EQ(ReadAll(dir_ / "leeg.dll"), "");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "tolbex.ini.oud"));
    EXPECT_TRUE(Lines().empty());
}

TEST_F(FileReplaceTest, WriteWholeFileTruncatesAnOlderLongerFile) {
    WriteAll(dir_ / "tolbex.ini", std::string(1000, 'o'));
    ASSERT_TRUE(WriteWholeFile(Path("tolbex.ini"), Bytes("kort")));
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini"), "kort");
}

TEST_F(FileReplaceTest, MovesFileInUseAsideAndWritesTheNewOne) {
    WriteAll(dir_ / "tolbex_core.dll", "oud");
    FileHandle reader = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(reader);
    // The cause: the held file cannot be opened for writing (sharing violation, 32).
    ASSERT_FALSE(WriteWholeFile(Path("tolbex_core.dll"), Bytes("x")));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_TRUE(ReplaceFileInUse(Path("tolbex_core.dll"), Bytes("nieuw")));
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll"), "nieuw");
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll.oud"), "oud");
    EXPECT_EQ(Lines(),
              (std::vector<std::wstring>{
                  L"tolbex_core.dll was in gebruik (32): opzij gezet als tolbex_core.dll.oud"}));
}

TEST_F(FileReplaceTest, SecondUpdateOfFileInUseReplacesTheOlderAside) {
    WriteAll(dir_ / "tolbex_core.dll", "eerste");
    FileHandle first = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(ReplaceFileInUse(Path("tolbex_core.dll"), Bytes("tweede")));
    // The program that held the first version has ended; the new one is in use now.
    first.reset();
    FileHandle second = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(second);
    ASSERT_TRUE(ReplaceFileInUse(Path("tolbex_core.dll"), Bytes("derde")));

    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll"), "derde");
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll.oud"), "tweede");
    const std::wstring line =
        L"tolbex_core.dll was in gebruik (32): opzij gezet als tolbex_core.dll.oud";
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{line, line}));
}

TEST_F(FileReplaceTest, FileHeldWithoutSharingStaysAsItWasWithFirstError) {
    WriteAll(dir_ / "tolbex.ini", "oud");
    FileHandle locker = HoldOpen(Path("tolbex.ini"), 0);
    ASSERT_TRUE(locker);
    ASSERT_FALSE(ReplaceFileInUse(Path("tolbex.ini"), Bytes("nieuw")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    locker.reset();
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini"), "oud");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "tolbex.ini.oud"));
    EXPECT_TRUE(Lines().empty());
}

// The move fails for a reason of its own (the aside name is a folder with a file in it,
// which neither DeleteFileW nor MOVEFILE_REPLACE_EXISTING removes): the caller must
// still see why the write failed, not why the move did.
TEST_F(FileReplaceTest, FailedMoveRestoresTheErrorOfTheFirstWrite) {
    WriteAll(dir_ / "tolbex_core.dll", "oud");
    std::filesystem::create_directory(dir_ / "tolbex_core.dll.oud");
    WriteAll(dir_ / "tolbex_core.dll.oud" / "blok", "x");
    FileHandle reader = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(reader);
    ASSERT_FALSE(MoveFileExW(Path("tolbex_core.dll").c_str(), Path("tolbex_core.dll.oud").c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    const DWORD moveError = GetLastError();
    ASSERT_NE(moveError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_FALSE(ReplaceFileInUse(Path("tolbex_core.dll"), Bytes("nieuw")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    reader.reset();
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll"), "oud");
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll.oud" / "blok"), "x");
    EXPECT_TRUE(Lines().empty());
}

}  // namespace
