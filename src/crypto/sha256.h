// SHA-256 on CNG and lowercase hex text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/types.h"

// The length of a SHA-256 digest.
inline constexpr std::size_t kSha256Bytes = 32;

// Writes the SHA-256 of length bytes at data into digest; false when the provider fails
// (the digest is then not meaningful). length may be 0.
bool Sha256(const void* data, std::uint32_t length, std::uint8_t digest[kSha256Bytes]);

// The 64 lowercase hex digits of the SHA-256 of a whole file, or empty text when it
// cannot be hashed: missing, a folder, held open for writing by another handle,
// unreadable, or over kFileLimitBytes (common/file_sizes.h, 256 MiB).
std::string FileSha256Hex(const WideString& path);
