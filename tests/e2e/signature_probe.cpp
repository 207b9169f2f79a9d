// signature_probe.exe: the manifest signature check for the Python driver, one line of
// output ("1" accepted, "0" refused) per case, so a whole table costs one Wine start.
//
//   signature_probe check MANIFEST SIG [MANIFEST SIG...]
//       VerifyManifestSignature on the bytes of two files (the text is used as it is).
//   signature_probe fetch MANIFEST_URL SIG_URL
//       the update run's road: HttpGet, FetchSignatureText, VerifyManifestSignature.
//   signature_probe blob BLOBHEX MANIFEST SIG
//       an independent CNG check against any public blob (here: one that
//       tolbex-publish keygen printed), not one of the compiled-in keys.
#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

#include "common/handles.h"
#include "crypto/hex.h"
#include "crypto/manifest_signature.h"
#include "crypto/sha256.h"
#include "net/http_get.h"
#include "update/signature_fetch.h"

namespace {

std::string ReadAll(const wchar_t* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) out.push_back(static_cast<char>(*text));
    return out;
}

bool FetchAndVerify(const wchar_t* manifestUrl, const wchar_t* signatureUrl) {
    ByteBuffer body;
    if (!HttpGet(manifestUrl, body))
        return false;
    return VerifyManifestSignature(std::string(body.begin(), body.end()),
                                   FetchSignatureText(signatureUrl));
}

bool VerifyWithBlob(const std::string& blobHex, const std::string& manifest,
                    const std::string& signature) {
    ByteBuffer blob, raw;
    std::uint8_t digest[32];
    if (!HexDecode(blobHex, blob) || !HexDecode(signature, raw) ||
        !Sha256(manifest.data(), static_cast<std::uint32_t>(manifest.size()), digest)) {
        return false;
    }
    BcryptAlgorithm algorithm;
    BcryptKey key;
    return BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) >=
               0 &&
           BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                               blob.data(), static_cast<ULONG>(blob.size()), 0) >= 0 &&
           BCryptVerifySignature(key.get(), nullptr, digest, 32, raw.data(),
                                 static_cast<ULONG>(raw.size()), 0) >= 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring mode = argv[1];
    if (mode == L"check") {
        for (int i = 2; i + 1 < argc; i += 2) {
            std::puts(VerifyManifestSignature(ReadAll(argv[i]), ReadAll(argv[i + 1])) ? "1" : "0");
        }
    } else if (mode == L"fetch" && argc == 4) {
        std::puts(FetchAndVerify(argv[2], argv[3]) ? "1" : "0");
    } else if (mode == L"blob" && argc == 5) {
        std::puts(VerifyWithBlob(Narrow(argv[2]), ReadAll(argv[3]), ReadAll(argv[4])) ? "1" : "0");
    } else {
        return 2;
    }
    return 0;
}
