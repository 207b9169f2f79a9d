// tolbex-publish release: a signed release folder that update servers publish as it is.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_sizes.h"
#include "common/install_names.h"
#include "common/types.h"
#include "crypto/hex.h"
#include "publish_crypto.h"
#include "subcommands.h"
#include "update/manifest_scan.h"
#include "update/update_paths.h"
#include "common/update_files.h"

namespace {

namespace fs = std::filesystem;

constexpr char kHelp[] =
    "usage: tolbex-publish release --version X.Y.Z --key KEYFILE --out DIR\n"
    "                              [--without-launcher] FILE...\n"
    "\n"
    "Makes DIR/{folder}/ with {manifest}, {signature} (signed with the P-256 private key\n"
    "in KEYFILE, PEM) and a copy of each FILE under its own name. Serve DIR as a server's\n"
    "root: the installer fetches {manifestPath}, {signaturePath} and\n"
    "{filePath}.\n"
    "\n"
    "Refused, with nothing written:\n"
    "  - a FILE whose name, in any ASCII case, is not one of\n"
    "    {names},\n"
    "    or a name given twice;\n"
    "  - a FILE under {minimum} bytes, or over {limit} bytes ({limitMiB} MiB);\n"
    "  - a version the installer cannot number: X from 1, Y and Z one digit each\n"
    "    (3.0.0 is 300; 3.10.0 does not exist), the number at most 2147483647;\n"
    "  - no {launcher} among the files, unless --without-launcher is given\n"
    "    (a fresh installation only counts as done when the launcher arrived);\n"
    "  - DIR/{folder} exists already.\n"
    "The folder is built beside DIR/{folder} and renamed into place at the end.\n";

// The help with every name and bound taken from the installer's own rules.
std::string Help() {
    std::string names;
    for (const char* name : kAllowedUpdateFiles)
        names += (names.empty() ? "" : ", ") + std::string(name);
    return FillIn(kHelp, {{"folder", kUpdateFolderName},
                          {"manifest", kManifestFileName},
                          {"signature", kSignatureFileName},
                          {"manifestPath", UpdateFilePath(kManifestFileName)},
                          {"signaturePath", UpdateFilePath(kSignatureFileName)},
                          {"filePath", UpdateFilePath("NAME")},
                          {"names", names},
                          {"minimum", std::to_string(kMinimumFileBytes)},
                          {"limit", std::to_string(kFileLimitBytes)},
                          {"limitMiB", std::to_string(kFileLimitBytes >> 20)},
                          {"launcher", kLauncherFileName}});
}

struct ReleaseFile {
    std::string name;  // as the manifest spells it: the FILE's own name
    Bytes bytes;
    std::string sha256;
};

struct ReleaseArgs {
    std::string version, key, out;
    bool withoutLauncher = false;
    std::vector<std::string> files;
};

// False with a message for an unknown option or one without its value.
bool ParseArgs(const Args& args, ReleaseArgs& parsed, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* value = arg == "--version" ? &parsed.version
                             : arg == "--key"   ? &parsed.key
                             : arg == "--out"   ? &parsed.out
                                                : nullptr;
        if (value) {
            if (i + 1 == args.size()) {
                error = arg + " needs a value";
                return false;
            }
            *value = args[++i];
        } else if (arg == "--without-launcher") {
            parsed.withoutLauncher = true;
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
            return false;
        } else {
            parsed.files.push_back(arg);
        }
    }
    if (parsed.version.empty() || parsed.key.empty() || parsed.out.empty()) {
        error = "--version, --key and --out are required";
        return false;
    }
    if (parsed.files.empty()) {
        error = "no FILE given";
        return false;
    }
    return true;
}

// "3.0.0" gives 300. The installer prints a number n >= 100 as n/100 "." tens "." units,
// so a text is accepted only when that print gives it back: 3.10.0, 03.0.0, 0.9.9 and
// 21474837.0.0 (beyond int32) have no number.
bool ParseVersion(const std::string& text, std::int32_t& number) {
    const std::size_t dot1 = text.find('.');
    if (dot1 == std::string::npos || dot1 == 0 || dot1 > 9)
        return false;
    if (text.size() != dot1 + 4 || text[dot1 + 2] != '.')
        return false;
    long long value = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == dot1 || i == dot1 + 2)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 100 || value > 2147483647LL)
        return false;
    number = static_cast<std::int32_t>(value);
    return VersionNumberText(number) == WidenBytes(text);
}

// Reads one FILE, refusing what the installer would refuse about it.
bool LoadFile(const std::string& path, ReleaseFile& file, std::string& error) {
    file.name = fs::path(path).filename().string();
    if (!IsAllowedUpdateFile(file.name)) {
        error = "'" + file.name + "' is not a file name the installer accepts";
        return false;
    }
    std::error_code failure;
    const std::uintmax_t size = fs::file_size(path, failure);
    if (failure) {
        error = "cannot read " + path + ": " + failure.message();
        return false;
    }
    if (size < kMinimumFileBytes) {
        error = path + " has " + std::to_string(size) +
                " bytes; the installer refuses files under " + std::to_string(kMinimumFileBytes) +
                " bytes";
        return false;
    }
    if (!WithinFileLimit(size)) {
        error = path + " is over " + std::to_string(kFileLimitBytes >> 20) +
                " MiB; the installer downloads no more";
        return false;
    }
    if (!ReadFileBytes(path, file.bytes)) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    const Digest digest = Sha256Of(file.bytes);
    file.sha256 = HexLower(digest.data(), digest.size());
    return true;
}

// A name given twice is the installer's own refusal (RepeatedUpdateFile), so it is
// asked first, of the names alone.
bool LoadFiles(const ReleaseArgs& args, std::vector<ReleaseFile>& files, std::string& error) {
    std::vector<std::string> names;
    for (const std::string& path : args.files) names.push_back(fs::path(path).filename().string());
    const std::string repeated = RepeatedUpdateFile(names);
    if (!repeated.empty()) {
        error = "'" + repeated + "' is given twice";
        return false;
    }
    for (const std::string& path : args.files) {
        ReleaseFile file;
        if (!LoadFile(path, file, error))
            return false;
        files.push_back(std::move(file));
    }
    return true;
}

bool HasLauncher(const std::vector<ReleaseFile>& files) {
    for (const ReleaseFile& file : files) {
        if (IsLauncherFile(file.name))
            return true;
    }
    return false;
}

// The plain shape the installer's scanners read: every key once, no nesting, no escapes.
std::string ManifestText(std::int32_t version, const std::vector<ReleaseFile>& files) {
    std::string names, hashes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const char* comma = i + 1 < files.size() ? "," : "";
        names += "    \"" + files[i].name + "\"" + comma + "\n";
        hashes += "    \"" + files[i].name + "\": \"" + files[i].sha256 + "\"" + comma + "\n";
    }
    return "{\n  \"version\": " + std::to_string(version) + ",\n  \"files\": [\n" + names +
           "  ],\n  \"sha256\": {\n" + hashes + "  }\n}\n";
}

// The scanners must read back exactly what was meant; anything else is a bug here.
bool ReadsBack(const std::string& manifest, std::int32_t version,
               const std::vector<ReleaseFile>& files) {
    const std::vector<std::string> names = ScanStringArray(manifest, "\"files\"");
    if (ScanVersionNumber(manifest) != version || names.size() != files.size())
        return false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (names[i] != files[i].name)
            return false;
        if (ScanObjectString(manifest, "\"sha256\"", files[i].name) != files[i].sha256)
            return false;
    }
    return true;
}

bool WriteBytes(const fs::path& path, const Bytes& bytes, std::string& error) {
    return WriteFileAtomically(path.string(), bytes, 0644, true, error);
}

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Everything goes into a fresh folder beside DIR/update, which is renamed into place
// last: a failure on the way removes it, and DIR/update never holds half a release.
bool WriteRelease(const fs::path& out, const std::string& manifest, const std::string& signature,
                  const std::vector<ReleaseFile>& files, std::string& error) {
    std::error_code failure;
    const bool createdOut = fs::create_directories(out, failure);
    if (failure) {
        error = "cannot create " + out.string() + ": " + failure.message();
        return false;
    }
    std::string pattern = (out / ".update.tmp-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot create a folder in " + out.string() + ": " + std::strerror(errno);
    } else {
        const fs::path staging(pattern);
        bool ok = WriteBytes(staging / kManifestFileName, ToBytes(manifest), error) &&
                  WriteBytes(staging / kSignatureFileName, ToBytes(signature), error);
        for (std::size_t i = 0; ok && i < files.size(); ++i) {
            ok = WriteBytes(staging / files[i].name, files[i].bytes, error);
        }
        if (ok) {
            fs::rename(staging, out / kUpdateFolderName, failure);
            if (!failure)
                return true;
            error = "cannot rename into " + (out / kUpdateFolderName).string() + ": " +
                    failure.message();
        }
        fs::remove_all(staging, failure);
    }
    if (createdOut)
        fs::remove_all(out, failure);
    return false;
}

int MakeRelease(const ReleaseArgs& args) {
    std::int32_t version = 0;
    if (!ParseVersion(args.version, version)) {
        return Fail("release", "version '" + args.version +
                                   "' has no installer number: use X.Y.Z with X >= 1 and Y, Z "
                                   "single digits (e.g. 3.0.0)");
    }
    std::string error;
    std::vector<ReleaseFile> files;
    if (!LoadFiles(args, files, error))
        return Fail("release", error);
    if (!args.withoutLauncher && !HasLauncher(files)) {
        return Fail("release", "no " + std::string(kLauncherFileName) +
                                   " among the files: a fresh installation would fail (give "
                                   "--without-launcher for a release that only updates other "
                                   "files)");
    }
    std::error_code failure;
    if (fs::exists(fs::path(args.out) / kUpdateFolderName, failure) || failure) {
        return Fail("release",
                    (fs::path(args.out) / kUpdateFolderName).string() + " exists already");
    }
    Pkey key = LoadPrivateKey(args.key, error);
    if (!key)
        return Fail("release", error);

    const std::string manifest = ManifestText(version, files);
    if (!ReadsBack(manifest, version, files)) {
        return Fail("release", "internal error: the manifest does not read back");
    }
    Bytes raw;
    if (!SignDigest(key.get(), Sha256Of(ToBytes(manifest)), raw)) {
        return Fail("release", "OpenSSL could not sign");
    }
    const std::string signature = HexLower(raw.data(), raw.size()) + "\n";
    if (!WriteRelease(args.out, manifest, signature, files, error))
        return Fail("release", error);
    std::printf("release %s (%d): %zu files in %s\n", args.version.c_str(), version, files.size(),
                (fs::path(args.out) / kUpdateFolderName).string().c_str());
    return 0;
}

}  // namespace

int RunRelease(const Args& args) {
    return RunSubcommand("release", Help(), args, ParseArgs, MakeRelease);
}
