// Putting verified files into the install folder so that an update is all or nothing.
//
// A write phase has two stages:
//   stage   every new file is written whole under <target>.tijdelijk in the install
//           folder itself (WriteDurableFile), flushed to disk and closed. No target is
//           touched, so any failure here leaves the folder as it was once the staged
//           files are removed.
//   commit  each staged file takes its target's name by rename (CommitStagedFile), which
//           is atomic on one volume. The old contents are renamed out of the way first
//           and kept until every file of the update is in place; the renames are
//           recorded so that a failure can put every old file back (UndoRenames).
// The names used beside the installed ones are listed in common/update_files.h.
//
// What can still go wrong: a kill or a power cut between the two renames of one file
// (the old contents to <target>.vorig, then the staged file to <target>), which takes
// milliseconds, leaves that target missing with its old contents under .vorig. The
// next write phase in the folder puts such a file back first (RecoverInterruptedWrite).
#pragma once

#include <vector>

#include "common/types.h"

// The name a target's new contents wait under: target + ".tijdelijk".
WideString StagedPathOf(const WideString& target);

// Creates or truncates path, writes contents whole (a short write is continued; one that
// makes no progress counts as ERROR_DISK_FULL), flushes it to disk and closes it. False
// with the code of the call that failed in GetLastError. What was written stays on disk;
// the caller removes it.
bool WriteDurableFile(const WideString& path, const ByteBuffer& contents);

// One rename made while committing, in the order made. A backup holds old contents that
// only this commit needs (<name>.vorig); it is deleted once the commit is complete.
struct CommitRename {
    WideString from;
    WideString to;
    bool backup = false;
};
using CommitJournal = std::vector<CommitRename>;

// What a target that cannot be opened for writing (a running program or a loaded DLL)
// does to a commit.
enum class WhenInUse {
    kMoveAside,  // renamed to target + ".oud" (replacing an older aside), and logged
    kFail,       // the commit fails with the code of the failed open
};

// Puts the file staged at staged in place of target, recording every rename in journal:
// 1. A target that can be opened for writing is renamed to target + ".vorig".
// 2. A target that cannot is in use: with kMoveAside, an older target + ".oud" is renamed
//    to target + ".oud.vorig", the target to target + ".oud", and the line
//    "%s was in gebruik (%lu): opzij gezet als %s" is logged with the code of the open.
// 3. The staged file is renamed to target.
// False at the first failure, with its code in GetLastError (for a target in use that
// cannot be moved aside: the open's code, which says why it had to move). The renames
// made before the failure stay in journal for UndoRenames.
bool CommitStagedFile(const WideString& staged, const WideString& target, WhenInUse inUse,
                      CommitJournal& journal);

// Reverses the journal's renames, newest first, each tried a few times (a scanner may
// hold a file for a moment). A rename that still fails is logged as
// "Herstellen van %s mislukt (%lu)" and its files are left for RecoverInterruptedWrite;
// the others are still undone. True when every rename was undone.
bool UndoRenames(const CommitJournal& journal);

// After a complete commit: deletes the backups the journal made. A backup that cannot be
// deleted is left for RecoverInterruptedWrite.
void DiscardBackups(const CommitJournal& journal);

// Deletes a file of the write phase's own, tried a few times. True when it is gone (also
// when it never existed).
bool RemoveWritePhaseFile(const WideString& path);

// Tidies what an interrupted write phase left in folder, before a new one begins: a
// backup whose name is missing is renamed back (so the file a kill took away returns),
// every other backup and every staged file is deleted.
void RecoverInterruptedWrite(const WideString& folder);
