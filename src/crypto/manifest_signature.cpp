// The manifest's detached signature, checked with CNG against the two public keys
// compiled into this build.
#include "crypto/manifest_signature.h"

#include <windows.h>
#include <bcrypt.h>

#include "common/handles.h"
#include "crypto/hex.h"
#include "crypto/public_blob.h"
#include "crypto/sha256.h"
#include "crypto/signature_text.h"
#include "deployment_data.h"

namespace {

// Each key is the hex of a public blob (crypto/public_blob.h), which CNG imports as an
// ECCPUBLICBLOB. The table ends with a null entry.
const char* const kManifestKeys[] = {TOLBEX_MANIFEST_KEY_1, TOLBEX_MANIFEST_KEY_2, nullptr};
static_assert(sizeof TOLBEX_MANIFEST_KEY_1 == 2 * kPublicBlobBytes + 1 &&
                  sizeof TOLBEX_MANIFEST_KEY_2 == 2 * kPublicBlobBytes + 1,
              "a manifest key is the hex of a whole public blob");

// One key: decoded and imported afresh, then asked to verify the digest. A key that does
// not decode or import simply does not verify.
bool KeyVerifies(BCRYPT_ALG_HANDLE algorithm, const char* keyHex, std::uint8_t digest[kSha256Bytes],
                 ByteBuffer& signature) {
    ByteBuffer blob;
    if (!HexDecode(keyHex, blob))
        return false;
    BcryptKey key;
    if (!BcryptSucceeded(BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                             blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    return BcryptSucceeded(BCryptVerifySignature(key.get(), nullptr, digest, kSha256Bytes,
                                                 signature.data(),
                                                 static_cast<ULONG>(signature.size()), 0));
}

}  // namespace

// The digest covers the manifest exactly as received: no trimming, no line-end or BOM
// handling, so "a\r\nb" and "a\nb" have different signatures.
bool VerifyManifestSignature(const std::string& manifest, const std::string& signature) {
    ByteBuffer raw;
    if (!SignatureBytesOf(signature, raw))
        return false;
    std::uint8_t digest[kSha256Bytes];
    if (!Sha256(manifest.data(), static_cast<std::uint32_t>(manifest.size()), digest)) {
        return false;
    }
    BcryptAlgorithm algorithm;
    if (!BcryptSucceeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM,
                                                     nullptr, 0))) {
        return false;
    }
    for (const char* const* key = kManifestKeys; *key != nullptr; ++key) {
        if (KeyVerifies(algorithm.get(), *key, digest, raw))
            return true;
    }
    return false;
}
