// tolbex-publish sign KEYFILE MANIFEST: the detached signature MANIFEST.sig.
#include <cstdio>
#include <cstring>
#include <cerrno>

#include "crypto/hex.h"
#include "publish_crypto.h"
#include "subcommands.h"

namespace {

constexpr char kHelp[] =
    "usage: tolbex-publish sign KEYFILE MANIFEST\n"
    "\n"
    "Signs the bytes of MANIFEST exactly as they are with the P-256 private key in KEYFILE\n"
    "(PEM) and writes MANIFEST.sig: the raw signature r||s as 128 lowercase hex digits and\n"
    "a line feed. Publish both files unchanged: the installer checks every byte, so a\n"
    "manifest whose line ends are converted after signing is refused.\n";

struct SignArgs {
    std::string key, manifest;
};

bool ParseArgs(const Args& args, SignArgs& parsed, std::string& error) {
    if (args.size() != 2) {
        error = "expects KEYFILE and MANIFEST";
        return false;
    }
    parsed = SignArgs{args[0], args[1]};
    return true;
}

int SignManifest(const SignArgs& args) {
    std::string error;
    Pkey key = LoadPrivateKey(args.key, error);
    if (!key)
        return Fail("sign", error);
    Bytes manifest;
    if (!ReadFileBytes(args.manifest, manifest)) {
        return Fail("sign", "cannot read manifest " + args.manifest + ": " + std::strerror(errno));
    }
    Bytes raw;
    if (!SignDigest(key.get(), Sha256Of(manifest), raw)) {
        return Fail("sign", "OpenSSL could not sign");
    }
    const std::string text = HexLower(raw.data(), raw.size()) + "\n";
    const std::string out = args.manifest + ".sig";
    if (!WriteFileAtomically(out, Bytes(text.begin(), text.end()), 0644, false, error)) {
        return Fail("sign", error);
    }
    return 0;
}

}  // namespace

int RunSign(const Args& args) {
    return RunSubcommand("sign", kHelp, args, ParseArgs, SignManifest);
}
