// The write phase's file operations under Wine, against files really held open by a
// second handle: with read and delete sharing (cannot be written, can be renamed, as a
// loaded DLL) and with no sharing at all (neither).
#include "update/file_replace.h"

#include <windows.h>

#include "common/handles.h"
#include "update_test_support.h"

namespace {

using update_test::Bytes;
using update_test::ReadAll;
using update_test::TreeDigest;
using update_test::WriteAll;
using LogLines = std::vector<std::wstring>;

// A second handle on an existing file, read access, with the given sharing.
FileHandle HoldOpen(const WideString& path, DWORD share) {
    return FileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

constexpr DWORD kReadDeleteSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
const std::wstring kCoreInUse =
    L"tolbex_core.dll was in gebruik (32): opzij gezet als tolbex_core.dll.oud";

class FileReplaceTest : public update_test::EngineTest {
  protected:
    // Stages contents for name and commits it; the result of the commit.
    bool WriteAndCommit(const char* name, const std::string& contents, CommitJournal& journal,
                        WhenInUse inUse = WhenInUse::kMoveAside) {
        const WideString target = Path(name);
        EXPECT_TRUE(WriteDurableFile(TemporaryPathOf(target), Bytes(contents)));
        return CommitTemporaryFile(TemporaryPathOf(target), target, inUse, journal);
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
};

TEST_F(FileReplaceTest, DurableWriteCreatesOrTruncates) {
    WriteAll(dir_ / "tolbex.ini", std::string(1000, 'o'));
    ASSERT_TRUE(WriteDurableFile(Path("tolbex.ini"), Bytes("kort")));
    ASSERT_TRUE(WriteDurableFile(Path("leeg.dll"), ByteBuffer{}));
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini"), "kort");
    EXPECT_TRUE(Exists("leeg.dll"));
    EXPECT_EQ(ReadAll(dir_ / "leeg.dll"), "");
}

// A new file, a free file and a file in use with an older aside beside it: every old
// content stays on disk until the commit is complete, and the backups go only then.
TEST_F(FileReplaceTest, CommitKeepsEveryOldFileUntilTheBackupsAreDiscarded) {
    WriteAll(dir_ / "tolbex.ini", "oud ini");
    WriteAll(dir_ / "tolbex_core.dll", "oud core");
    WriteAll(dir_ / "tolbex_core.dll.oud", "ouder core");
    FileHandle loaded = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(loaded);

    CommitJournal journal;
    ASSERT_TRUE(WriteAndCommit("tolbex_launcher.exe", "nieuw launcher", journal));
    ASSERT_TRUE(WriteAndCommit("tolbex.ini", "nieuw ini", journal));
    ASSERT_TRUE(WriteAndCommit("tolbex_core.dll", "nieuw core", journal));
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini.vorig"), "oud ini");
    EXPECT_EQ(ReadAll(dir_ / "tolbex_core.dll.oud.vorig"), "ouder core");

    DiscardBackups(journal);
    loaded.reset();
    EXPECT_EQ(TreeDigest(dir_),
              "tolbex.ini\nnieuw ini\n"
              "tolbex_core.dll\nnieuw core\n"
              "tolbex_core.dll.oud\noud core\n"
              "tolbex_launcher.exe\nnieuw launcher\n");
    EXPECT_EQ(Lines(), LogLines{kCoreInUse});
}

// The third file is held with no sharing: it can be neither opened nor moved aside. The
// commit fails with the open's code, and undoing the journal restores the folder byte
// for byte, the older aside included; only the temporary files are left to remove.
TEST_F(FileReplaceTest, FailedCommitIsUndoneByteForByte) {
    WriteAll(dir_ / "tolbex.ini", "oud ini");
    WriteAll(dir_ / "tolbex_core.dll", "oud core");
    WriteAll(dir_ / "tolbex_core.dll.oud", "ouder core");
    WriteAll(dir_ / "Vonkel.dll", "oud vonkel");
    const std::string before = TreeDigest(dir_);
    FileHandle loaded = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    FileHandle locked = HoldOpen(Path("Vonkel.dll"), 0);
    ASSERT_TRUE(loaded && locked);

    CommitJournal journal;
    ASSERT_TRUE(WriteAndCommit("tolbex.ini", "nieuw ini", journal));
    ASSERT_TRUE(WriteAndCommit("tolbex_core.dll", "nieuw core", journal));
    ASSERT_FALSE(WriteAndCommit("Vonkel.dll", "nieuw vonkel", journal));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    EXPECT_TRUE(UndoRenames(journal));
    for (const char* name : {"tolbex.ini", "tolbex_core.dll", "Vonkel.dll"}) {
        EXPECT_TRUE(RemoveWritePhaseFile(TemporaryPathOf(Path(name))));
    }
    loaded.reset();
    locked.reset();
    EXPECT_EQ(TreeDigest(dir_), before);
    EXPECT_EQ(Lines(), LogLines{kCoreInUse});
}

// The program's own ".new" file is never moved aside; and when the aside name is taken
// by a folder, the move fails for a reason of its own but the caller still learns why
// the file had to move (32), not why the move failed. Nothing changes either way.
TEST_F(FileReplaceTest, TargetThatCannotMoveFailsWithTheOpenError) {
    WriteAll(dir_ / "tolbex_launcher.exe.new", "oud");
    WriteAll(dir_ / "tolbex_core.dll", "oud");
    std::filesystem::create_directory(dir_ / "tolbex_core.dll.oud");
    WriteAll(dir_ / "tolbex_core.dll.oud" / "blok", "x");
    const std::string before = TreeDigest(dir_);
    FileHandle own = HoldOpen(Path("tolbex_launcher.exe.new"), kReadDeleteSharing);
    FileHandle loaded = HoldOpen(Path("tolbex_core.dll"), kReadDeleteSharing);
    ASSERT_TRUE(own && loaded);

    const struct {
        const char* name;
        WhenInUse inUse;
    } cases[] = {{"tolbex_launcher.exe.new", WhenInUse::kFail},
                 {"tolbex_core.dll", WhenInUse::kMoveAside}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommitJournal journal;
        ASSERT_FALSE(WriteAndCommit(c.name, "nieuw", journal, c.inUse));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(UndoRenames(journal));
        EXPECT_TRUE(RemoveWritePhaseFile(TemporaryPathOf(Path(c.name))));
    }
    own.reset();
    loaded.reset();
    EXPECT_EQ(TreeDigest(dir_), before);
    EXPECT_TRUE(Lines().empty());
}

// What a killed write phase leaves: a backup whose file is missing (killed between the
// two renames) comes back; other backups and temporary files go; foreign names stay.
TEST_F(FileReplaceTest, RecoveryPutsBackWhatAKillTookAndTidiesTheRest) {
    WriteAll(dir_ / "tolbex.ini.vorig", "oud ini");
    WriteAll(dir_ / "tolbex_core.dll", "nieuw core");
    WriteAll(dir_ / "tolbex_core.dll.vorig", "oud core");
    WriteAll(dir_ / "tolbex_core.dll.oud.vorig", "ouder core");
    WriteAll(dir_ / "tolbex_core.dll.oud", "oud aside");
    WriteAll(dir_ / "Vonkel.dll.tijdelijk", "half");
    WriteAll(dir_ / "foto.jpg.tijdelijk", "van de speler");
    RecoverInterruptedWrite(dir_.wstring());
    EXPECT_EQ(TreeDigest(dir_),
              "foto.jpg.tijdelijk\nvan de speler\n"
              "tolbex.ini\noud ini\n"
              "tolbex_core.dll\nnieuw core\n"
              "tolbex_core.dll.oud\noud aside\n");
}

// A complete journal (its end line written) means the commit had begun: recovery
// finishes it forward, whatever renames the crash cut off, and logs one line. A journal
// without its end line, or one naming what no write phase writes, means nothing was
// renamed for it: the temporary files go and the old files stay.
TEST_F(FileReplaceTest, RecoveryFinishesACommitWhoseJournalIsComplete) {
    // Killed after the launcher's commit and before tolbex_core.dll's own renames, with
    // its older aside already moved out of the way; a self-update waits as ".new".
    const std::pair<const char*, const char*> kCrashed[] = {
        {"tolbex_launcher.exe", "nieuw launcher"},
        {"tolbex_launcher.exe.vorig", "oud launcher"},
        {"tolbex_core.dll", "oud core"},
        {"tolbex_core.dll.tijdelijk", "nieuw core"},
        {"tolbex_core.dll.oud.vorig", "ouder core"},
        {"tolbex.ini", "oud ini"},
        {"tolbex.ini.tijdelijk", "nieuw ini"},
        // The running launcher's own new file, waiting beside it.
        {"tolbex_launcher.exe.new.tijdelijk", "nieuw eigen"}};
    const std::wstring folder = dir_.wstring();
    const struct {
        const char* journal;
        const char* expected;
        std::wstring line;
    } cases[] = {
        {"tolbex_launcher.exe\r\ntolbex_core.dll\r\ntolbex.ini\r\ntolbex_launcher.exe.new\r\n"
         "einde\r\n",
         "tolbex.ini\nnieuw ini\n"
         "tolbex_core.dll\nnieuw core\n"
         "tolbex_core.dll.oud\nouder core\n"
         "tolbex_launcher.exe\nnieuw launcher\n"
         "tolbex_launcher.exe.new\nnieuw eigen\n",
         L"Onderbroken update afgemaakt in " + folder},
        {"tolbex_launcher.exe\r\ntolbex_core.dll\r\ntolbex.i",
         "tolbex.ini\noud ini\n"
         "tolbex_core.dll\noud core\n"
         "tolbex_core.dll.oud\nouder core\n"
         "tolbex_launcher.exe\nnieuw launcher\n",
         L"Resten van een onderbroken update opgeruimd in " + folder},
        {"..\\tolbex.ini\r\neinde\r\n",
         "tolbex.ini\noud ini\n"
         "tolbex_core.dll\noud core\n"
         "tolbex_core.dll.oud\nouder core\n"
         "tolbex_launcher.exe\nnieuw launcher\n",
         L"Resten van een onderbroken update opgeruimd in " + folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.journal);
        Reset();
        for (const auto& [name, contents] : kCrashed) WriteAll(dir_ / name, contents);
        WriteAll(dir_ / "tolbex_bijwerken.journaal", c.journal);
        RecoverInterruptedWrite(folder);
        EXPECT_EQ(TreeDigest(dir_), c.expected);
        EXPECT_EQ(Lines(), LogLines{c.line});
        RecoverInterruptedWrite(folder);
        EXPECT_EQ(TreeDigest(dir_), c.expected);
        EXPECT_EQ(Lines(), LogLines{c.line}) << "nothing left to repair, nothing logged";
    }
}

}  // namespace
