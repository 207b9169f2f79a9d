// tolbex-publish keygen KEYFILE: a new manifest signing key.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "crypto/hex.h"
#include "crypto/public_blob.h"
#include "publish_crypto.h"
#include "subcommands.h"

namespace {

constexpr char kHelp[] =
    "usage: tolbex-publish keygen KEYFILE\n"
    "\n"
    "Creates a new ECDSA P-256 private key in KEYFILE (PEM, mode 0600; an existing file\n"
    "is never overwritten) and prints its public half as the {digits} hex digits a deployment\n"
    "sets as TOLBEX_MANIFEST_KEY_1 or _2.\n";

bool ParseArgs(const Args& args, std::string& path, std::string& error) {
    if (args.size() != 1) {
        error = "expects one KEYFILE";
        return false;
    }
    path = args[0];
    return true;
}

int MakeKey(const std::string& path) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0) {
        return Fail("keygen", path + " already exists; not overwritten");
    }
    Pkey key = GenerateKey();
    Bytes pem, blob;
    if (!key || !PrivateKeyPem(key.get(), pem) || !PublicBlob(key.get(), blob)) {
        return Fail("keygen", "OpenSSL could not make a P-256 key");
    }
    std::string error;
    if (!WriteFileAtomically(path, pem, 0600, true, error))
        return Fail("keygen", error);
    std::printf("%s\n", HexLower(blob.data(), blob.size()).c_str());
    return 0;
}

}  // namespace

int RunKeygen(const Args& args) {
    return RunSubcommand("keygen",
                         FillIn(kHelp, {{"digits", std::to_string(2 * kPublicBlobBytes)}}), args,
                         ParseArgs, MakeKey);
}
