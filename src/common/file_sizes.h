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

// 256 MiB, the bound on anything the installer holds in memory whole. HttpGet refuses a
// body longer than this (a broken or hostile server: no release file is that large);
// FileSha256Hex and the publisher's release and check refuse a file of this size or more.
inline constexpr std::uint64_t kFileLimitBytes = 268435456;
