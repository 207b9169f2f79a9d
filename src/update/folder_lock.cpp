// The install folder's lock: a named mutex per canonical folder (see the header).
#include "update/folder_lock.h"

#include "crypto/hex.h"
#include "crypto/sha256.h"
#include "location/canonical_path.h"
#include "log/log.h"

namespace {

constexpr wchar_t kLockNamePrefix[] = L"Local\\TolbexMap-";

}  // namespace

WideString FolderLockName(const WideString& folder) {
    WideString form = WeaklyCanonicalPath(folder);
    if (form.empty())
        form = folder;
    std::vector<std::uint8_t> units;
    for (wchar_t c : form) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        units.push_back(static_cast<std::uint8_t>(c & 0xFF));
        units.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    std::uint8_t digest[32] = {};
    Sha256(units.data(), static_cast<std::uint32_t>(units.size()), digest);
    return kLockNamePrefix + WidenBytes(HexLower(digest, sizeof digest));
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
