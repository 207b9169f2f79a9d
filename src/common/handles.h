// RAII owners for every Windows handle and COM pointer the installer acquires.
//
// One small move-only template, UniqueHandle, takes the handle type, its close function
// and a function giving its invalid value; each handle kind has one alias below. Closing
// keeps the thread's last-error value intact, so an owner going out of scope never
// overwrites the error that the caller is about to read with GetLastError.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <winhttp.h>

#include <utility>

template <typename T, auto Close, auto Invalid>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid(); }

    // Closes the held value (if any) and takes the new one; the last error survives.
    void reset(T value = Invalid()) {
        if (value_ != Invalid()) {
            const DWORD saved = GetLastError();
            Close(value_);
            SetLastError(saved);
        }
        value_ = value;
    }

    T release() { return std::exchange(value_, Invalid()); }

    // For out-parameters: closes what is held and hands out the slot to fill.
    T* put() {
        reset();
        return &value_;
    }

    // COM pointers only: the interface's members.
    T operator->() const { return value_; }

  private:
    T value_ = Invalid();
};

namespace handle_detail {
template <typename T>
constexpr T Null() {
    return T{};
}
inline HANDLE InvalidFile() {
    return INVALID_HANDLE_VALUE;
}
inline void CloseKernel(HANDLE h) {
    CloseHandle(h);
}
inline void CloseWinHttp(HINTERNET h) {
    WinHttpCloseHandle(h);
}
inline void CloseAlgorithm(BCRYPT_ALG_HANDLE h) {
    BCryptCloseAlgorithmProvider(h, 0);
}
inline void CloseHash(BCRYPT_HASH_HANDLE h) {
    BCryptDestroyHash(h);
}
inline void CloseKey(BCRYPT_KEY_HANDLE h) {
    BCryptDestroyKey(h);
}
inline void CloseRegKey(HKEY h) {
    RegCloseKey(h);
}
// INVALID_HANDLE_VALUE: wait until a callback that is running has returned.
inline void DeleteTimer(HANDLE h) {
    DeleteTimerQueueTimer(nullptr, h, INVALID_HANDLE_VALUE);
}
inline void FreeLocal(LPWSTR* p) {
    LocalFree(p);
}
inline void FreeCoTask(PWSTR p) {
    CoTaskMemFree(p);
}
template <typename I>
void ReleaseCom(I* p) {
    p->Release();
}
}  // namespace handle_detail

// A file from CreateFileW: invalid value INVALID_HANDLE_VALUE.
using FileHandle = UniqueHandle<HANDLE, handle_detail::CloseKernel, handle_detail::InvalidFile>;
// A process or thread handle: invalid value null.
using KernelHandle = UniqueHandle<HANDLE, handle_detail::CloseKernel, handle_detail::Null<HANDLE>>;
// A WinHTTP session, connection or request.
using WinHttpHandle =
    UniqueHandle<HINTERNET, handle_detail::CloseWinHttp, handle_detail::Null<HINTERNET>>;
using BcryptAlgorithm = UniqueHandle<BCRYPT_ALG_HANDLE, handle_detail::CloseAlgorithm,
                                     handle_detail::Null<BCRYPT_ALG_HANDLE>>;
using BcryptHash = UniqueHandle<BCRYPT_HASH_HANDLE, handle_detail::CloseHash,
                                handle_detail::Null<BCRYPT_HASH_HANDLE>>;
using BcryptKey = UniqueHandle<BCRYPT_KEY_HANDLE, handle_detail::CloseKey,
                               handle_detail::Null<BCRYPT_KEY_HANDLE>>;
// BCrypt calls report an NTSTATUS, not a BOOL with a last error: every success code is
// >= 0 (BCRYPT_SUCCESS), every failure negative.
inline bool BcryptSucceeded(NTSTATUS status) {
    return BCRYPT_SUCCESS(status);
}
// A timer of the default timer queue (CreateTimerQueueTimer). Closing it waits for a
// callback in progress, so the callback's data may be freed right after.
using QueueTimer = UniqueHandle<HANDLE, handle_detail::DeleteTimer, handle_detail::Null<HANDLE>>;
using RegistryKey = UniqueHandle<HKEY, handle_detail::CloseRegKey, handle_detail::Null<HKEY>>;
// The argument array of CommandLineToArgvW, freed with LocalFree.
using ArgvArray = UniqueHandle<LPWSTR*, handle_detail::FreeLocal, handle_detail::Null<LPWSTR*>>;
// A string the shell allocated (known folders, display names), freed with CoTaskMemFree.
using CoTaskString = UniqueHandle<PWSTR, handle_detail::FreeCoTask, handle_detail::Null<PWSTR>>;
// A COM interface pointer, released once.
template <typename I>
using ComPtr = UniqueHandle<I*, handle_detail::ReleaseCom<I>, handle_detail::Null<I*>>;
