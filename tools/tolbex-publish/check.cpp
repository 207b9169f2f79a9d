// tolbex-publish check: verifies a release the way the installer verifies what a server
// sends, with the installer's own manifest scanners and name rule. A release is read
// from a folder or fetched from a live server; both go through the one verification
// below, and only the fetching of a file differs.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_sizes.h"
#include "common/install_names.h"
#include "common/types.h"
#include "crypto/hex.h"
#include "crypto/public_blob.h"
#include "crypto/signature_text.h"
#include "http_fetch.h"
#include "net/http_rules.h"
#include "publish_crypto.h"
#include "subcommands.h"
#include "update/manifest_scan.h"
#include "update/update_paths.h"
#include "common/update_files.h"

namespace {

namespace fs = std::filesystem;

// "256 MiB" for 268435456.
std::string MebibyteText(std::uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

constexpr char kHelp[] =
    "usage: tolbex-publish check SOURCE [SOURCE] --key HEX [--key HEX]\n"
    "                            [--ca-file PEM] [--without-launcher]\n"
    "\n"
    "Checks a release as the installer would check it. A SOURCE is a release folder (DIR\n"
    "with DIR/{folder}, or the {folder} folder itself) or a live server's base URL, such as\n"
    "https://updates.example.org or http://mirror.example.org:39706, from which it GETs\n"
    "{manifest}, {signature} and every listed file as the installer\n"
    "does (agent {agent}, status exactly 200, the installer's time-outs, at least {floor}\n"
    "bytes every {window} s, no body over {cap}, redirects followed but never from https to\n"
    "http). It checks the signature under the given public blobs ({digits} hex digits each, as\n"
    "printed by keygen; the first key, then the second), the version, and for every listed\n"
    "file its name, its size ({minimum} bytes up to {cap}) and its SHA-256.\n"
    "A release without {launcher} counts as refused, since a fresh installation\n"
    "from it fails, unless --without-launcher is given (a release that only updates).\n"
    "--ca-file trusts the CA certificates in PEM for https instead of the system's.\n"
    "\n"
    "Prints one line per file, 'ok' or 'REFUSED' with what was expected and found, and a\n"
    "verdict per SOURCE. With two, says whether they serve the same release: the same\n"
    "{manifestName} bytes, or else both versions. Exits with 0 when every SOURCE passes\n"
    "(and both serve the same release), 1 otherwise, 2 for wrong usage.\n";

// The help with every name and bound taken from the installer's own rules.
std::string Help() {
    return FillIn(kHelp, {{"folder", kUpdateFolderName},
                          {"manifest", UpdateFilePath(kManifestFileName)},
                          {"signature", UpdateFilePath(kSignatureFileName)},
                          {"manifestName", kManifestFileName},
                          {"agent", kHttpAgent},
                          {"floor", std::to_string(kFloorBytes)},
                          {"window", std::to_string(kFloorSeconds)},
                          {"cap", MebibyteText(kFileLimitBytes)},
                          {"minimum", std::to_string(kMinimumFileBytes)},
                          {"digits", std::to_string(2 * kPublicBlobBytes)},
                          {"launcher", kLauncherFileName}});
}

// A release folder, or a live server's base URL (without a trailing '/').
struct Source {
    std::string where;
    bool remote = false;
};

struct CheckArgs {
    std::vector<Source> sources;
    std::vector<Bytes> keys;
    std::string caFile;
    bool withoutLauncher = false;
};

bool IsUrl(const std::string& text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

Source MakeSource(std::string where) {
    const bool remote = IsUrl(where);
    while (remote && where.size() > 1 && where.back() == '/') where.pop_back();
    return Source{where, remote};
}

bool ParseArgs(const Args& args, CheckArgs& parsed, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool takesValue = args[i] == "--key" || args[i] == "--ca-file";
        if (takesValue && i + 1 == args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        if (args[i] == "--key") {
            Bytes blob;
            if (!HexDecode(args[++i], blob) || blob.size() != kPublicBlobBytes) {
                error = "--key wants the " + std::to_string(2 * kPublicBlobBytes) +
                        " hex digits of a public blob";
                return false;
            }
            parsed.keys.push_back(blob);
        } else if (args[i] == "--ca-file") {
            parsed.caFile = args[++i];
        } else if (args[i] == "--without-launcher") {
            parsed.withoutLauncher = true;
        } else if (args[i].rfind("--", 0) == 0 || parsed.sources.size() == 2) {
            error = "unexpected argument " + args[i];
            return false;
        } else {
            parsed.sources.push_back(MakeSource(args[i]));
        }
    }
    if (parsed.sources.empty()) {
        error = "no DIR or URL given";
        return false;
    }
    if (parsed.keys.empty() || parsed.keys.size() > 2) {
        error = "give one or two --key";
        return false;
    }
    return true;
}

fs::path UpdateFolder(const fs::path& dir) {
    std::error_code ignored;
    return fs::exists(dir / kUpdateFolderName / kManifestFileName, ignored)
               ? dir / kUpdateFolderName
               : dir;
}

// How a file of the release is named in the lines: its URL for a server, so that every
// line names the server too; its bare name for a folder, named once at the top.
std::string Label(const Source& source, const std::string& name) {
    return source.remote ? source.where + UpdateFilePath(name) : name;
}

// Reads a file of a release folder as FetchUrl delivers one from a server.
bool ReadReleaseFile(const fs::path& path, bool keepBytes, FetchedBody& body,
                     std::string& problem) {
    std::error_code failure;
    const std::uintmax_t size = fs::file_size(path, failure);
    if (failure) {
        problem = "missing from the release folder";
        return false;
    }
    if (!WithinFileLimit(size)) {
        problem = "over the " + MebibyteText(kFileLimitBytes) + " cap";
        return false;
    }
    Bytes bytes;
    if (!ReadFileBytes(path.string(), bytes)) {
        problem = "unreadable";
        return false;
    }
    body.size = bytes.size();
    body.sha256 = Sha256Of(bytes);
    if (keepBytes)
        body.bytes = std::move(bytes);
    return true;
}

// One file of the release, by its name in the update folder: read, or fetched with GET.
bool FetchReleaseFile(const Source& source, const std::string& caFile, const std::string& name,
                      bool keepBytes, FetchedBody& body, std::string& problem) {
    if (source.remote)
        return FetchUrl(source.where + UpdateFilePath(name), caFile, keepBytes, body, problem);
    return ReadReleaseFile(UpdateFolder(source.where) / name, keepBytes, body, problem);
}

std::string ToText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The signature file as the installer takes it, by the installer's own rule: 1 to
// kMaxSignatureFileBytes bytes, trailing white space cut, then 128 hex digits (white space
// inside ignored) making 64 bytes of r||s.
std::string SignatureVerdict(const Bytes& body, const Bytes& manifest,
                             const std::vector<Bytes>& keys, bool& ok) {
    ok = false;
    std::string text;
    if (!SignatureTextOf(body, text))
        return "not 1 to " + std::to_string(kMaxSignatureFileBytes) + " bytes (" +
               std::to_string(body.size()) + ")";
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

bool CheckSignature(const Source& source, const CheckArgs& args, const Bytes& manifest) {
    FetchedBody body;
    std::string problem;
    bool ok = false;
    std::string verdict;
    if (!FetchReleaseFile(source, args.caFile, kSignatureFileName, true, body, problem)) {
        verdict =
            source.remote ? problem + "; the installer takes that as no signature" : "missing";
    } else {
        verdict = SignatureVerdict(body.bytes, manifest, args.keys, ok);
    }
    std::printf("%s %s: %s\n", ok ? "ok      " : "REFUSED ",
                Label(source, kSignatureFileName).c_str(), verdict.c_str());
    return ok;
}

// One listed file: empty when the installer would take it, else what was expected and
// what was found. In the installer's order: the name, the download, the size, the hash.
std::string FileProblem(const Source& source, const CheckArgs& args, const std::string& manifest,
                        const std::string& name, std::uint64_t& size) {
    if (!IsAllowedUpdateFile(name))
        return "not a file name the installer accepts";
    FetchedBody body;
    std::string problem;
    if (!FetchReleaseFile(source, args.caFile, name, false, body, problem))
        return problem;
    size = body.size;
    if (size < kMinimumFileBytes)
        return "under " + std::to_string(kMinimumFileBytes) + " bytes (" + std::to_string(size) +
               ")";
    if (!WithinFileLimit(size))
        return "over " + MebibyteText(kFileLimitBytes);
    const std::string expected = ScanObjectString(manifest, "\"sha256\"", name);
    if (expected.empty())
        return "no sha256 entry under this spelling";
    const std::string found = HexLower(body.sha256.data(), body.sha256.size());
    if (!EqualsAsciiNoCase(found, expected))
        return "sha256 differs from the manifest: expected " + expected + ", found " + found;
    return {};
}

// Every listed file gets its line; the installer would stop at the first refusal. A name
// listed twice is refused first, as the installer does, with no file fetched.
bool CheckFiles(const Source& source, const CheckArgs& args, const std::string& manifest) {
    const std::vector<std::string> names = ScanStringArray(manifest, "\"files\"");
    const std::string repeated = RepeatedUpdateFile(names);
    if (!repeated.empty()) {
        std::printf(
            "REFUSED  files: '%s' is listed twice; the installer refuses the manifest "
            "before any download\n",
            repeated.c_str());
        return false;
    }
    bool ok = true, launcher = false;
    for (const std::string& name : names) {
        std::uint64_t size = 0;
        const std::string problem = FileProblem(source, args, manifest, name, size);
        const std::string label = Label(source, name);
        if (problem.empty()) {
            std::printf("ok       %s (%ju bytes)\n", label.c_str(),
                        static_cast<std::uintmax_t>(size));
        } else {
            std::printf("REFUSED  %s: %s\n", label.c_str(), problem.c_str());
            ok = false;
        }
        launcher = launcher || IsLauncherFile(name);
    }
    if (names.empty()) {
        std::printf("REFUSED  files: the list is empty, the installer would write nothing\n");
        ok = false;
    } else if (!launcher && args.withoutLauncher) {
        std::printf("note     no %s: only an existing installation takes it\n", kLauncherFileName);
    } else if (!launcher) {
        std::printf("REFUSED  files: no %s, a fresh installation would fail\n", kLauncherFileName);
        ok = false;
    }
    return ok;
}

std::string VersionText(std::int32_t version) {
    std::string text;
    for (wchar_t c : VersionNumberText(version)) text += static_cast<char>(c);
    return text;
}

// Checks one source from its manifest down to the last file and prints its verdict.
// manifest receives the manifest bytes when they could be had.
bool CheckSource(const Source& source, const CheckArgs& args, Bytes& manifest) {
    std::printf("checking %s\n",
                source.remote ? source.where.c_str() : UpdateFolder(source.where).string().c_str());
    FetchedBody body;
    std::string problem;
    bool ok = FetchReleaseFile(source, args.caFile, kManifestFileName, true, body, problem);
    if (!ok) {
        std::printf("REFUSED  %s: %s\n", Label(source, kManifestFileName).c_str(), problem.c_str());
    } else {
        manifest = std::move(body.bytes);
        const std::string text = ToText(manifest);
        std::printf("ok       %s (%zu bytes)\n", Label(source, kManifestFileName).c_str(),
                    manifest.size());
        const bool signatureOk = CheckSignature(source, args, manifest);
        const std::int32_t version = ScanVersionNumber(text);
        std::printf("%s version %s (%d)\n", version > 0 ? "ok      " : "note    ",
                    VersionText(version).c_str(), version);
        const bool filesOk = CheckFiles(source, args, text);
        ok = signatureOk && filesOk;
    }
    if (ok) {
        std::printf("PASSED   %s: the installer would install version %s\n", source.where.c_str(),
                    VersionText(ScanVersionNumber(ToText(manifest))).c_str());
    } else {
        std::printf("FAILED   %s: the installer would refuse it\n", source.where.c_str());
    }
    return ok;
}

// Two servers serve the same release when they serve the same manifest.json, byte for
// byte: the signature covers those bytes, and the hashes in them pin every file.
bool SameRelease(const Source& a, const Bytes& manifestA, const Source& b, const Bytes& manifestB) {
    if (manifestA.empty() || manifestB.empty()) {
        std::printf("DIFFERS  cannot compare: no manifest.json from %s\n",
                    (manifestA.empty() ? a : b).where.c_str());
        return false;
    }
    const std::string versionA = VersionText(ScanVersionNumber(ToText(manifestA)));
    const std::string versionB = VersionText(ScanVersionNumber(ToText(manifestB)));
    if (manifestA == manifestB) {
        std::printf(
            "same     %s and %s serve the same release: version %s, the same manifest.json\n",
            a.where.c_str(), b.where.c_str(), versionA.c_str());
        return true;
    }
    std::printf("DIFFERS  %s serves version %s, %s serves version %s (the manifests differ)\n",
                a.where.c_str(), versionA.c_str(), b.where.c_str(), versionB.c_str());
    return false;
}

int CheckRelease(const CheckArgs& args) {
    std::vector<Bytes> manifests(args.sources.size());
    bool ok = true;
    for (std::size_t i = 0; i < args.sources.size(); ++i) {
        if (i > 0)
            std::printf("\n");
        ok = CheckSource(args.sources[i], args, manifests[i]) && ok;
        std::fflush(stdout);
    }
    if (args.sources.size() == 2) {
        std::printf("\n");
        ok = SameRelease(args.sources[0], manifests[0], args.sources[1], manifests[1]) && ok;
    }
    return ok ? 0 : 1;
}

}  // namespace

int RunCheck(const Args& args) {
    return RunSubcommand("check", Help(), args, ParseArgs, CheckRelease);
}
