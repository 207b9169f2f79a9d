// The install folder's lock: a named mutex per canonical folder (see the header).
#include "update/folder_lock.h"

#include <cstdint>

#include "location/canonical_path.h"
#include "log/log.h"

namespace {

constexpr wchar_t kLockNamePrefix[] = L"Local\\TolbexMap-";

// 64-bit FNV-1a over each unit's two bytes, low byte first.
std::uint64_t Fnv1a64(const WideString& units) {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (wchar_t unit : units) {
        for (const unsigned byte : {unit & 0xFFu, (unit >> 8) & 0xFFu}) {
            hash ^= byte;
            hash *= kPrime;
        }
    }
    return hash;
}

}  // namespace

WideString FolderLockName(const WideString& folder) {
    WideString form = WeaklyCanonicalPath(folder);
    if (form.empty())
        form = folder;
    for (wchar_t& c : form) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    const std::uint64_t hash = Fnv1a64(form);
    WideString name = kLockNamePrefix;
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

void FolderLock::Release() {
    if (held)
        ReleaseMutex(mutex.get());
    held = false;
}

LockTry TryFolderLock(const WideString& folder, FolderLock& lock) {
    lock.Release();
    lock.mutex.reset(CreateMutexW(nullptr, FALSE, FolderLockName(folder).c_str()));
    if (!lock.mutex)
        return LockTry::kFailed;
    const DWORD result = WaitForSingleObject(lock.mutex.get(), 0);
    lock.held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return lock.held ? LockTry::kHeld : LockTry::kBusy;
}

void LogFolderLockWait(const WideString& folder) {
    LogLine(L"Een andere installatie is bezig in %s: even wachten", folder.c_str());
}

void LogFolderLockGaveUp(const WideString& folder) {
    LogLine(L"Wachten op de andere installatie in %s opgegeven", folder.c_str());
}

bool TakeFolderLock(const WideString& folder, FolderLock& lock) {
    switch (TryFolderLock(folder, lock)) {
        case LockTry::kHeld:
            return true;
        case LockTry::kFailed:
            LogLine(L"Map %s kon niet worden vergrendeld (%lu)", folder.c_str(), GetLastError());
            return false;
        case LockTry::kBusy:
            break;
    }
    LogFolderLockWait(folder);
    const DWORD result = WaitForSingleObject(lock.mutex.get(), kFolderLockWaitMs);
    lock.held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!lock.held)
        LogFolderLockGaveUp(folder);
    return lock.held;
}
