// The sizes every file of a release keeps to (platform-free). The installer's download
// check, its HTTP client and its file hashing, and the publisher's release and check,
// all read them here, so that check refuses by the very bounds the installer uses.
#pragma once

#include <cstddef>
#include <cstdint>

// No file of a release is this small: a shorter body is an error page or a cut-off.
// The installer refuses a downloaded file of fewer bytes; the publisher refuses to
// release or pass one.
inline constexpr std::size_t kMinimumFileBytes = 64;

// 256 MiB, the bound on anything the installer holds in memory whole: no release file is
// larger (a longer body is a broken or hostile server). A file of exactly this size is
// allowed. The installer's HTTP client, its file hashing and the publisher's release and
// check all ask WithinFileLimit, so they cannot disagree at the boundary.
inline constexpr std::uint64_t kFileLimitBytes = 268435456;

// Whether a file or body of size bytes is within the bound: true up to and including
// kFileLimitBytes, false from kFileLimitBytes + 1.
inline constexpr bool WithinFileLimit(std::uint64_t size) {
    return size <= kFileLimitBytes;
}
