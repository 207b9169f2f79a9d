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

}  // namespace

int RunSign(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.size() != 2)
        return Fail("sign", "expects KEYFILE and MANIFEST (see --help)", 2);
    std::string error;
    Pkey key = LoadPrivateKey(args[0], error);
    if (!key)
        return Fail("sign", error);
    Bytes manifest;
    if (!ReadFileBytes(args[1], manifest)) {
        return Fail("sign", "cannot read manifest " + args[1] + ": " + std::strerror(errno));
    }
    Bytes raw;
    if (!SignDigest(key.get(), Sha256Of(manifest), raw)) {
        return Fail("sign", "OpenSSL could not sign");
    }
    const std::string text = HexLower(raw.data(), raw.size()) + "\n";
    const std::string out = args[1] + ".sig";
    if (!WriteFileAtomically(out, Bytes(text.begin(), text.end()), 0644, false, error)) {
        return Fail("sign", error);
    }
    return 0;
}
