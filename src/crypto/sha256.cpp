// SHA-256 through CNG, and the digest of a whole file read in one piece.
#include "crypto/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include "common/file_sizes.h"
#include "common/handles.h"
#include "crypto/hex.h"

namespace {

// The whole file in one buffer, or false. Sharing read and delete but not write makes the
// open fail while another handle has the file open for writing, so a file half-written by
// someone else is never hashed.
bool ReadWholeFile(const WideString& path, ByteBuffer& contents) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    // Files over kFileLimitBytes are never hashed: no file the installer accepts is that
    // large, and the limit bounds the single in-memory copy.
    if (!GetFileSizeEx(file.get(), &size) ||
        !WithinFileLimit(static_cast<std::uint64_t>(size.QuadPart))) {
        return false;
    }
    contents.assign(static_cast<std::size_t>(size.QuadPart), 0);
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    if (!ReadFile(file.get(), contents.data(), wanted, &read, nullptr))
        return false;
    return read == wanted;
}

}  // namespace

bool Sha256(const void* data, std::uint32_t length, std::uint8_t digest[kSha256Bytes]) {
    BcryptAlgorithm algorithm;
    if (!BcryptSucceeded(
            BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    BcryptHash hash;
    if (!BcryptSucceeded(
            BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return false;
    }
    // BCryptHashData takes a non-const pointer although it only reads the input.
    auto* input = static_cast<PUCHAR>(const_cast<void*>(data));
    if (!BcryptSucceeded(BCryptHashData(hash.get(), input, length, 0)))
        return false;
    return BcryptSucceeded(BCryptFinishHash(hash.get(), digest, kSha256Bytes, 0));
}

std::string FileSha256Hex(const WideString& path) {
    ByteBuffer contents;
    if (!ReadWholeFile(path, contents))
        return {};
    std::uint8_t digest[kSha256Bytes];
    if (!Sha256(contents.data(), static_cast<std::uint32_t>(contents.size()), digest))
        return {};
    return HexLower(digest, sizeof digest);
}
