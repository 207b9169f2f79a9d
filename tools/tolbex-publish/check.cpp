// tolbex-publish check: verifies a release folder the way the installer verifies what a
// server sends, with the installer's own manifest scanners and name rule.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/types.h"
#include "crypto/hex.h"
#include "crypto/signature_text.h"
#include "publish_crypto.h"
#include "subcommands.h"
#include "update/manifest_scan.h"
#include "update/update_files.h"

namespace {

namespace fs = std::filesystem;

constexpr char kHelp[] =
    "usage: tolbex-publish check DIR --key HEX [--key HEX] [--without-launcher]\n"
    "\n"
    "Checks the release in DIR/update (or in DIR itself when it holds manifest.json) as\n"
    "the installer would check it when a server publishes it: the signature in\n"
    "manifest.sig under the given public blobs (144 hex digits each, as printed by\n"
    "keygen; the first key, then the second), the version, and for every listed file its\n"
    "name, its presence, its size (64 bytes up to 256 MiB) and its SHA-256.\n"
    "A release without tolbex_launcher.exe counts as refused, since a fresh installation\n"
    "from it fails, unless --without-launcher is given (a release that only updates).\n"
    "Prints one verdict line per file, 'ok' or 'REFUSED' with the reason, and exits\n"
    "with 1 when anything would make the installer refuse the release.\n";

constexpr std::size_t kMinimumBytes = 64;
constexpr std::uintmax_t kLimitBytes = 268435456;

struct CheckArgs {
    fs::path dir;
    std::vector<Bytes> keys;
    bool withoutLauncher = false;
};

bool ParseArgs(const Args& args, CheckArgs& parsed, std::string& error) {
    bool haveDir = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--key") {
            Bytes blob;
            if (i + 1 == args.size())
                return error = "--key needs a value", false;
            if (!HexDecode(args[++i], blob) || blob.size() != 72) {
                return error = "--key wants the 144 hex digits of a public blob", false;
            }
            parsed.keys.push_back(blob);
        } else if (args[i] == "--without-launcher") {
            parsed.withoutLauncher = true;
        } else if (args[i].rfind("--", 0) == 0 || haveDir) {
            return error = "unexpected argument " + args[i], false;
        } else {
            parsed.dir = args[i];
            haveDir = true;
        }
    }
    if (!haveDir)
        return error = "no DIR given", false;
    if (parsed.keys.empty() || parsed.keys.size() > 2)
        return error = "give one or two --key", false;
    return true;
}

fs::path UpdateFolder(const fs::path& dir) {
    std::error_code ignored;
    return fs::exists(dir / "update" / "manifest.json", ignored) ? dir / "update" : dir;
}

std::string ToText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The signature file as the installer takes it, by the installer's own rule: 1 to 256
// bytes, trailing white space cut, then 128 hex digits (white space inside ignored)
// making 64 bytes of r||s.
std::string SignatureVerdict(const fs::path& folder, const Bytes& manifest,
                             const std::vector<Bytes>& keys, bool& ok) {
    ok = false;
    Bytes body;
    if (!ReadFileBytes((folder / "manifest.sig").string(), body))
        return "missing";
    std::string text;
    if (!SignatureTextOf(body, text))
        return "not 1 to 256 bytes";
    Bytes raw;
    if (!SignatureBytesOf(text, raw))
        return "not 128 hex digits";
    const Digest digest = Sha256Of(manifest);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (VerifyRaw(keys[i], digest, raw)) {
            ok = true;
            return "ok (key " + std::to_string(i + 1) + ")";
        }
    }
    return "does not verify under the given keys";
}

// One listed file: empty when the installer would take it, else why not.
std::string FileProblem(const fs::path& folder, const std::string& manifest,
                        const std::string& name, std::uintmax_t& size) {
    if (!IsAllowedUpdateFile(name))
        return "not a file name the installer accepts";
    std::error_code failure;
    size = fs::file_size(folder / name, failure);
    if (failure)
        return "missing from the release folder";
    if (size < kMinimumBytes)
        return "under 64 bytes";
    if (size >= kLimitBytes)
        return "256 MiB or larger";
    const std::string expected = ScanObjectString(manifest, "\"sha256\"", name);
    if (expected.empty())
        return "no sha256 entry under this spelling";
    Bytes bytes;
    if (!ReadFileBytes((folder / name).string(), bytes))
        return "unreadable";
    const Digest digest = Sha256Of(bytes);
    if (!EqualsAsciiNoCase(HexLower(digest.data(), digest.size()), expected)) {
        return "sha256 differs from the manifest";
    }
    return {};
}

// Every listed file gets its line; the installer would stop at the first refusal.
bool CheckFiles(const fs::path& folder, const std::string& manifest, bool withoutLauncher) {
    const std::vector<std::string> names = ScanStringArray(manifest, "\"files\"");
    bool ok = true, launcher = false;
    for (const std::string& name : names) {
        std::uintmax_t size = 0;
        const std::string problem = FileProblem(folder, manifest, name, size);
        if (problem.empty()) {
            std::printf("ok       %s (%ju bytes)\n", name.c_str(), size);
        } else {
            std::printf("REFUSED  %s: %s\n", name.c_str(), problem.c_str());
            ok = false;
        }
        launcher = launcher || EqualsAsciiNoCase(name, std::string("tolbex_launcher.exe"));
    }
    if (names.empty()) {
        std::printf("REFUSED  files: the list is empty, the installer would write nothing\n");
        ok = false;
    } else if (!launcher && withoutLauncher) {
        std::printf("note     no tolbex_launcher.exe: only an existing installation takes it\n");
    } else if (!launcher) {
        std::printf("REFUSED  files: no tolbex_launcher.exe, a fresh installation would fail\n");
        ok = false;
    }
    return ok;
}

int CheckRelease(const CheckArgs& args) {
    const fs::path folder = UpdateFolder(args.dir);
    Bytes body;
    if (!ReadFileBytes((folder / "manifest.json").string(), body)) {
        std::printf("REFUSED  manifest.json: missing in %s\n", folder.string().c_str());
        return 1;
    }
    const std::string manifest = ToText(body);
    bool signatureOk = false;
    const std::string signature = SignatureVerdict(folder, body, args.keys, signatureOk);
    std::printf("%s manifest.sig: %s\n", signatureOk ? "ok      " : "REFUSED ", signature.c_str());
    const std::int32_t version = ScanVersionNumber(manifest);
    std::string versionText;
    for (wchar_t c : VersionNumberText(version)) versionText += static_cast<char>(c);
    std::printf("%s version %s (%d)\n", version > 0 ? "ok      " : "note    ", versionText.c_str(),
                version);
    const bool filesOk = CheckFiles(folder, manifest, args.withoutLauncher);
    return signatureOk && filesOk ? 0 : 1;
}

}  // namespace

int RunCheck(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    CheckArgs parsed;
    std::string error;
    if (!ParseArgs(args, parsed, error))
        return Fail("check", error + " (see --help)", 2);
    return CheckRelease(parsed);
}
