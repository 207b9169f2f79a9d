// Putting verified files into the install folder so that an update is all or nothing,
// even when the process, the session or the power dies half-way.
//
// A write phase has three steps:
//   prepare every new file is written whole under <target>.tijdelijk in the install
//           folder itself (WriteDurableFile), flushed to disk and closed. No target is
//           touched, so any failure here leaves the folder as it was once the temporary
//           files are removed.
//   journal the journal file tolbex_bijwerken.journaal (WriteJournalFile) lists the
//           targets' names in commit order and ends with the line "einde"; it is flushed
//           before the first rename. Its complete presence is the commit point: from here
//           on every new file is whole on disk, so an interrupted update can always be
//           finished without a server.
//   commit  each temporary file takes its target's name by rename (CommitTemporaryFile), which
//           is atomic on one volume. The old contents are renamed out of the way first
//           and kept until every file of the update is in place; the renames are
//           recorded in memory so that a failure can put every old file back
//           (UndoRenames). Then the backups are deleted and, last, the journal.
// The names used beside the installed ones are listed in common/update_files.h.
//
// What a crash leaves, and who repairs it. Every road that meets an install folder (the
// test mode and the window's Install before validation, the launch road before the
// launcher starts) takes the folder's lock (folder_lock.h) and calls
// RecoverInterruptedWrite first; the write phase calls it again before it prepares:
//   - killed while preparing, or while the journal is written (no journal, or one
//     without its end line): the folder holds the old release; recovery deletes the
//     temporary files and the journal. Exactly old.
//   - killed during the commit's renames or the backups' deletion (a complete journal):
//     recovery finishes the commit, each listed target whose temporary file is still there
//     takes it (an older file in use is moved aside as in a commit), then deletes the
//     backups and the journal. Exactly new.
// Forward rather than back, because forward needs nothing but what is on disk: every
// new file was verified and flushed before the journal, while going back would have to
// tell a ".oud" made by this commit from one left by an earlier update, which the names
// alone cannot. And forward is what the user asked for.
#pragma once

#include <vector>

#include "common/types.h"

// The name a target's new contents wait under: target + ".tijdelijk".
WideString TemporaryPathOf(const WideString& target);

// Creates or truncates path, writes contents whole (a short write is continued; one that
// makes no progress counts as ERROR_DISK_FULL), flushes it to disk and closes it. False
// with the code of the call that failed in GetLastError. What was written stays on disk;
// the caller removes it.
bool WriteDurableFile(const WideString& path, const ByteBuffer& contents);

// One rename made while committing, in the order made; kept in memory only (the journal
// file says what to finish after a crash, this says what to undo after a failure). A backup holds
// old contents that only this commit needs (<name>.vorig); it is deleted once the commit is
// complete.
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

// Puts the temporary file at temporary in place of target, recording every rename in journal:
// 1. A target that can be opened for writing is renamed to target + ".vorig".
// 2. A target that cannot is in use: with kMoveAside, an older target + ".oud" is renamed
//    to target + ".oud.vorig", the target to target + ".oud", and the line
//    "%s was in gebruik (%lu): opzij gezet als %s" is logged with the code of the open.
// 3. The temporary file is renamed to target.
// False at the first failure, with its code in GetLastError: for a target in use that
// cannot be renamed to its aside name, the open's code, which says why it had to move;
// for an older aside that cannot be renamed out of the way, that rename's own code.
// The renames made before the failure stay in journal for UndoRenames.
bool CommitTemporaryFile(const WideString& temporary, const WideString& target, WhenInUse inUse,
                         CommitJournal& journal);

// Reverses the recorded renames, newest first, each tried a few times (a scanner may
// hold a file for a moment). A rename that still fails is logged as
// "Herstellen van %s mislukt (%lu)"; the others are still undone. True when every rename
// was undone. The caller then deletes the journal and the temporary files; when one failed
// it keeps both, so that RecoverInterruptedWrite finishes the update instead.
bool UndoRenames(const CommitJournal& journal);

// After a complete commit: deletes the backups the journal made. A backup that cannot be
// deleted is left for RecoverInterruptedWrite.
void DiscardBackups(const CommitJournal& journal);

// Deletes a file of the write phase's own, tried a few times. True when it is gone (also
// when it never existed).
bool RemoveWritePhaseFile(const WideString& path);

// The journal file's path in folder.
WideString JournalFilePath(const WideString& folder);

// Writes the journal into folder (WriteDurableFile): the last component of each target,
// in commit order, one per line ending in CR LF, then "einde" and CR LF. Every target
// lies in folder and is an allowed name, or such a name followed by ".new". False with
// the code of the failed call in GetLastError; what was written stays for the caller to
// remove.
bool WriteJournalFile(const WideString& folder, const std::vector<WideString>& targets);

// Brings folder to exactly the old or exactly the new release after an interrupted write
// phase (see the top of this file) and removes every file of the write phase's own:
// 1. A complete journal: every listed target whose temporary file exists takes it
//    (CommitTemporaryFile with kMoveAside).
// 2. A backup whose name is missing is renamed back (an older aside whose newer one was
//    never made, or a file of an earlier installer's interrupted commit); every other
//    backup, every temporary file and the journal are deleted, the journal last.
// Logs one line when it changed anything: "Onderbroken update afgemaakt in %s" after
// step 1 committed a file, else "Resten van een onderbroken update opgeruimd in %s".
// When a listed target cannot take its temporary file, nothing else is touched: the line
// "Onderbroken update in %s niet afgemaakt: %s (%lu)" names the target and the code,
// and the journal stays for the next run. Nothing to repair costs one folder listing
// and logs nothing. The caller holds the folder's lock; needs no server.
void RecoverInterruptedWrite(const WideString& folder);
