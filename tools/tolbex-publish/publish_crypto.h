// The publisher's P-256 primitives on OpenSSL, shared by every subcommand of
// tolbex-publish: loading and creating keys, the installer's public-key blob, and raw
// r||s signatures over a SHA-256 digest exactly as the installer checks them.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "owned.h"

using Bytes = std::vector<std::uint8_t>;
using Digest = std::array<std::uint8_t, 32>;

using Pkey = Owned<EVP_PKEY, EVP_PKEY_free>;

// Reads a whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, Bytes& bytes);

// Writes bytes to path through a temporary file beside it and a rename, so a reader never
// sees half a file. mode applies to the new file. With exclusive, an existing path is
// refused (and left alone). On false, error says why.
bool WriteFileAtomically(const std::string& path, const Bytes& bytes, unsigned mode, bool exclusive,
                         std::string& error);

// The private key in a PEM file. Null with a reason in error when the file is missing or
// unreadable, is not a PEM private key, or is not an EC key on the P-256 curve.
Pkey LoadPrivateKey(const std::string& path, std::string& error);

// A new P-256 key pair; null if OpenSSL fails.
Pkey GenerateKey();

// The key's private half as traditional PEM ("BEGIN EC PRIVATE KEY").
bool PrivateKeyPem(EVP_PKEY* key, Bytes& pem);

// The public blob the installer compiles in (crypto/public_blob.h): "ECS1", 32 as a
// little-endian 32-bit number, then X and Y as 32 bytes big-endian each.
bool PublicBlob(EVP_PKEY* key, Bytes& blob);

// SHA-256 of bytes.
Digest Sha256Of(const Bytes& bytes);

// SHA-256 of bytes that arrive in pieces, so a download need not be held to be hashed:
// Sha256Begin, then Sha256Add for each piece, then Sha256Finish once. A null stream
// (OpenSSL out of memory) takes the pieces and finishes as the all-zero digest, which
// never equals a published hash.
using Sha256Stream = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
Sha256Stream Sha256Begin();
void Sha256Add(EVP_MD_CTX* stream, const void* data, std::size_t size);
Digest Sha256Finish(EVP_MD_CTX* stream);

// The 64-byte raw signature r||s (each 32 bytes big-endian, left-padded with zeros).
bool SignDigest(EVP_PKEY* key, const Digest& digest, Bytes& raw);

// Checks a 64-byte raw r||s signature of digest under a public blob, as the
// installer does; false for a malformed blob or signature, or a signature that fails.
bool VerifyRaw(const Bytes& blob, const Digest& digest, const Bytes& raw);
