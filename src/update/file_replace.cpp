// The steps of a write phase: durable temporary files, the journal, then renames that
// can be undone or, after a crash, finished.
//
// Windows lets a file that is open elsewhere be renamed when every open handle shares
// delete access, even though it cannot be opened for writing: a running DLL or a file
// another program reads with FILE_SHARE_READ | FILE_SHARE_DELETE. The commit uses that:
// tolbex_core.dll becomes tolbex_core.dll.oud and the temporary file takes its name.
#include "update/file_replace.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>

#include "common/handles.h"
#include "common/path_rules.h"
#include "log/log.h"
#include "common/update_files.h"

namespace {

// An antivirus scanner or the search indexer may hold a file that was just written for
// a moment; undo and cleanup try again before they give up.
constexpr int kAttempts = 5;
constexpr DWORD kPauseMs = 50;

constexpr char kJournalLineEnd[] = "\r\n";
constexpr char kJournalEndLine[] = "einde";

WideString BackupPathOf(const WideString& path) {
    return path + WidenBytes(kBackupSuffix);
}

template <typename Call>
bool Persistently(Call call) {
    for (int attempt = 1;; ++attempt) {
        if (call())
            return true;
        if (attempt == kAttempts)
            return false;
        const DWORD error = GetLastError();
        Sleep(kPauseMs);
        SetLastError(error);
    }
}

// ERROR_SUCCESS when target can be opened for writing now (the probe truncates nothing),
// ERROR_FILE_NOT_FOUND when there is no target, else the code of the failed open.
DWORD WriteOpenError(const WideString& target) {
    const FileHandle file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file ? ERROR_SUCCESS : GetLastError();
}

bool Exists(const WideString& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A journal is a few hundred bytes; anything over 64 KiB is not one of ours.
bool ReadSmallFile(const WideString& path, std::string& text) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    char buffer[65536];
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) ||
        read == sizeof buffer) {
        return false;
    }
    text.assign(buffer, read);
    return true;
}

// Only a file under the aside name is an older aside; a folder of that name is not ours
// to move, and the rename over it then fails.
bool IsFile(const WideString& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Rename(const WideString& from, const WideString& to, bool backup, CommitJournal& journal) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    journal.push_back(CommitRename{from, to, backup});
    return true;
}

bool MoveAside(const WideString& target, DWORD openError, CommitJournal& journal) {
    const WideString aside = target + WidenBytes(kAsideSuffix);
    if (IsFile(aside) && !Rename(aside, BackupPathOf(aside), true, journal))
        return false;
    if (!Rename(target, aside, false, journal)) {
        // The rename's own code (often "access denied") would hide why it had to move.
        SetLastError(openError);
        return false;
    }
    LogLine(L"%s was in gebruik (%lu): opzij gezet als %s", PathLastComponent(target).c_str(),
            openError, PathLastComponent(aside).c_str());
    return true;
}

// The full paths of the write phase's own files in folder, from one listing.
std::vector<WideString> LeftoversIn(const WideString& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<WideString> leftovers;
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end;
         it.increment(error)) {
        const WideString name = it->path().filename().wstring();
        if (IsWritePhaseLeftover(name))
            leftovers.push_back(PathJoin(folder, name));
    }
    return leftovers;
}

// The targets a complete journal lists, as paths in folder; empty when there is no
// journal among leftovers, when it lacks its end line (the commit had not begun) or when
// a line is no name a write phase writes (not this installer's journal: nothing is
// renamed for it).
std::vector<WideString> JournalTargets(const WideString& folder,
                                       const std::vector<WideString>& leftovers) {
    const WideString journal = JournalFilePath(folder);
    const bool present = std::any_of(leftovers.begin(), leftovers.end(), [&](const WideString& p) {
        return EqualsAsciiNoCase(PathLastComponent(p), PathLastComponent(journal));
    });
    std::string text;
    if (!present || !ReadSmallFile(journal, text))
        return {};
    std::vector<WideString> targets;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(kJournalLineEnd, start)) != std::string::npos;
         start = end + 2) {
        const std::string line = text.substr(start, end - start);
        if (line == kJournalEndLine)
            return start + line.size() + 2 == text.size() ? targets : std::vector<WideString>{};
        const WideString name = WidenBytes(line);
        if (!IsWritePhaseLeftover(name + WidenBytes(kTemporarySuffix)))
            return {};
        targets.push_back(PathJoin(folder, name));
    }
    return {};
}

// Step 2 of the recovery; the journal goes last, so a crash in here repeats it.
void TidyLeftovers(const std::vector<WideString>& leftovers, const WideString& journal) {
    const WideString backup = WidenBytes(kBackupSuffix);
    for (const WideString& path : leftovers) {
        if (EqualsAsciiNoCase(PathLastComponent(path), PathLastComponent(journal)))
            continue;
        const bool isBackup = path.size() > backup.size() &&
                              EqualsAsciiNoCase(path.substr(path.size() - backup.size()), backup);
        const WideString original = path.substr(0, path.size() - backup.size());
        if (isBackup && !Exists(original) &&
            MoveFileExW(path.c_str(), original.c_str(), 0) != FALSE) {
            continue;
        }
        RemoveWritePhaseFile(path);
    }
    RemoveWritePhaseFile(journal);
}

}  // namespace

WideString TemporaryPathOf(const WideString& target) {
    return target + WidenBytes(kTemporarySuffix);
}

bool WriteDurableFile(const WideString& path, const ByteBuffer& contents) {
    // No sharing: nobody reads or writes the file while it is being written.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const std::uint8_t* next = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(left, std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (!WriteFile(file.get(), next, chunk, &written, nullptr))
            return false;
        // A short count is no error by itself, and the last-error value may still hold
        // an old code (CreateFileW's 183 for a file that existed): write the rest, so a
        // full disk answers with its own code.
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        next += written;
        left -= written;
    }
    if (!FlushFileBuffers(file.get()))
        return false;
    // The close can be the first to report a lost write (network drives).
    return CloseHandle(file.release()) != FALSE;
}

bool CommitTemporaryFile(const WideString& temporary, const WideString& target, WhenInUse inUse,
                         CommitJournal& journal) {
    const DWORD openError = WriteOpenError(target);
    if (openError == ERROR_SUCCESS) {
        if (!Rename(target, BackupPathOf(target), true, journal))
            return false;
    } else if (openError != ERROR_FILE_NOT_FOUND) {
        if (inUse == WhenInUse::kFail) {
            SetLastError(openError);
            return false;
        }
        if (!MoveAside(target, openError, journal))
            return false;
    }
    return Rename(temporary, target, false, journal);
}

bool UndoRenames(const CommitJournal& journal) {
    bool all = true;
    for (auto step = journal.rbegin(); step != journal.rend(); ++step) {
        const bool undone = Persistently([&] {
            return MoveFileExW(step->to.c_str(), step->from.c_str(), MOVEFILE_REPLACE_EXISTING) !=
                   FALSE;
        });
        if (!undone) {
            LogLine(L"Herstellen van %s mislukt (%lu)", step->from.c_str(), GetLastError());
            all = false;
        }
    }
    return all;
}

void DiscardBackups(const CommitJournal& journal) {
    for (const CommitRename& step : journal) {
        if (step.backup)
            RemoveWritePhaseFile(step.to);
    }
}

bool RemoveWritePhaseFile(const WideString& path) {
    return Persistently([&] {
        return DeleteFileW(path.c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
    });
}

WideString JournalFilePath(const WideString& folder) {
    return PathJoin(folder, WidenBytes(kJournalFileName));
}

bool WriteJournalFile(const WideString& folder, const std::vector<WideString>& targets) {
    std::string text;
    for (const WideString& target : targets) {
        // The names are ASCII (allowed names, and ".new"), so one unit is one byte.
        for (wchar_t c : PathLastComponent(target)) text.push_back(static_cast<char>(c));
        text += kJournalLineEnd;
    }
    text += std::string(kJournalEndLine) + kJournalLineEnd;
    return WriteDurableFile(JournalFilePath(folder), ByteBuffer(text.begin(), text.end()));
}

void RecoverInterruptedWrite(const WideString& folder) {
    const std::vector<WideString> leftovers = LeftoversIn(folder);
    if (leftovers.empty())
        return;
    bool finished = false;
    const std::vector<WideString> targets = JournalTargets(folder, leftovers);
    for (const WideString& target : targets) {
        const WideString temporary = TemporaryPathOf(target);
        if (!Exists(temporary))
            continue;
        CommitJournal renames;
        if (!CommitTemporaryFile(temporary, target, WhenInUse::kMoveAside, renames)) {
            LogLine(L"Onderbroken update in %s niet afgemaakt: %s (%lu)", folder.c_str(),
                    PathLastComponent(target).c_str(), GetLastError());
            return;
        }
        finished = true;
    }
    TidyLeftovers(LeftoversIn(folder), JournalFilePath(folder));
    if (finished) {
        LogLine(L"Onderbroken update afgemaakt in %s", folder.c_str());
    } else {
        LogLine(L"Resten van een onderbroken update opgeruimd in %s", folder.c_str());
    }
}
