// One installer per install folder at a time: an exclusive lock, taken before recovery
// and validation look at the folder and held until the write phase is over.
//
// The lock is a named mutex in the session's Local\ namespace, named after the folder's
// canonical form, so every spelling of one folder meets the same lock, and no file of
// it ever lies in the folder. The system releases it when its holder dies (the next
// taker sees WAIT_ABANDONED and takes it all the same: the folder's recovery then
// repairs what the dead run left). Local\, not Global\: an installation belongs to one
// user, and a Global\ mutex made by another user could not be opened at all.
//
// A mutex is owned by the thread that took it: the lock is released on that thread.
#pragma once

#include <windows.h>

#include "common/handles.h"
#include "common/types.h"

// How long a run waits for another run of the same folder: long enough for a whole
// installation of a slow connection's last files, short enough that a hung holder is
// given up on while the user still watches.
constexpr DWORD kFolderLockWaitMs = 120000;

// "Local\TolbexMap-" and 16 hex digits: the 64-bit FNV-1a hash of the UTF-16 units of
// the folder's weakly canonical form, ASCII letters in upper case (of the folder as given
// when that form cannot be had). "C:\Games\Tolbex" and "c:/games/./TOLBEX/" share one.
// A hash because a mutex name holds no '\' and at most MAX_PATH units; a plain one, not
// SHA-256, because the launch road takes the lock too and loading the crypto provider
// would cost it more than everything else it does. Two folders that shared a name would
// only make one run wait for the other.
WideString FolderLockName(const WideString& folder);

// A folder's lock; held while held is true and released when it is destroyed.
struct FolderLock {
    KernelHandle mutex;
    bool held = false;

    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock() { Release(); }
    // Releases the lock now (on the thread that took it); a lock not held is left alone.
    void Release();
};

enum class LockTry {
    kHeld,    // taken now (also from a holder that died)
    kBusy,    // another run holds it: wait for lock.mutex
    kFailed,  // the mutex could not be made; GetLastError says why
};

// Makes folder's mutex in lock and takes it if it is free, without waiting.
LockTry TryFolderLock(const WideString& folder, FolderLock& lock);

// The two lines of a wait, for callers that wait on their own (a window thread).
void LogFolderLockWait(
    const WideString& folder);  // "Een andere installatie is bezig in %s: even wachten"
void LogFolderLockGaveUp(
    const WideString& folder);  // "Wachten op de andere installatie in %s opgegeven"

// Takes folder's lock, waiting up to kFolderLockWaitMs for another run to end: when it
// is busy, logs the waiting line once and waits. True when held. False after the wait
// (the line of giving up), or when the mutex could not be made
// ("Map %s kon niet worden vergrendeld (%lu)"). Blocks: never on a window thread.
bool TakeFolderLock(const WideString& folder, FolderLock& lock);
