// One update run against one server: fetch, decide, verify the signature, download and
// check every file, and only then write them, the program's own file last.
#include "update/update_run.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <utility>
#include <vector>

#include "common/path_rules.h"
#include "crypto/manifest_signature.h"
#include "crypto/sha256.h"
#include "crypto/hex.h"
#include "log/log.h"
#include "log/log_format.h"
#include "net/http_get.h"
#include "update/file_replace.h"
#include "update/manifest_scan.h"
#include "update/update_files.h"

namespace {

// The version this installer treats as installed; VersionNumberText(299) is "2.9.9".
constexpr wchar_t kCurrentVersionText[] = L"2.9.9";
constexpr std::int32_t kCurrentVersionNumber = 299;

constexpr char kLauncherName[] = "tolbex_launcher.exe";

constexpr wchar_t kManifestPath[] = L"/update/manifest.json";
constexpr wchar_t kSignaturePath[] = L"/update/manifest.sig";
constexpr wchar_t kFilePathPrefix[] = L"/update/";
constexpr char kFilesKey[] = "\"files\"";
constexpr char kHashesKey[] = "\"sha256\"";

// No file of a release is this small; a shorter body is an error page or a cut-off.
constexpr std::size_t kMinimumFileBytes = 64;
constexpr DWORD kModulePathUnits = 260;
constexpr DWORD kLongestPathUnits = 32768;
constexpr std::size_t kStatusUnits = 2048;

constexpr wchar_t kGeneralFailure[] = L"Bijwerken mislukt, we gaan verder met de huidige versie.";
constexpr wchar_t kWriteFailure[] = L"Bijwerken mislukt: geen schrijfrechten in deze map.";
constexpr wchar_t kOwnFileSuffix[] = L".new";

// A downloaded and verified file waiting for the write phase: its name exactly as the
// manifest spells it, and the body moved in from the download.
struct StagedFile {
    std::string name;
    ByteBuffer bytes;
};

WideString ModulePath(DWORD units) {
    WideString path(units, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), units);
    // A result of the whole buffer means the path was cut (and maybe not terminated).
    if (length == 0 || length >= units)
        return {};
    path.resize(length);
    return path;
}

// The last component of the program's own path. The 260-unit buffer holds every
// ordinary path; a longer one (a deep \\?\ folder) is read again into a buffer of the
// longest Windows path, so the name is never a cut-off stem such as "tolbex_laun".
WideString OwnFileName() {
    WideString path = ModulePath(kModulePathUnits);
    if (path.empty())
        path = ModulePath(kLongestPathUnits);
    return PathLastComponent(path);
}

bool IsOwnFile(const std::string& name, const WideString& ownFileName) {
    return EqualsAsciiNoCase(WidenBytes(name), ownFileName);
}

std::string ManifestText(const ByteBuffer& body) {
    return std::string(body.begin(), body.end());
}

// The local check of an update at the current version: true when every listed file
// that has a hash (the launcher aside) already matches it. The first difference is
// logged; the names are not held against the allowed list, since this only reads.
bool LocalFilesMatch(const std::string& manifest, const WideString& folder) {
    for (const std::string& name : ScanStringArray(manifest, kFilesKey)) {
        const std::string expected = ScanObjectString(manifest, kHashesKey, name);
        if (expected.empty() || EqualsAsciiNoCase(name, std::string(kLauncherName)))
            continue;
        const std::string local = FileSha256Hex(PathJoin(folder, WidenBytes(name)));
        if (!EqualsAsciiNoCase(local, expected)) {
            LogLine(L"Versie %s, maar %s klopt niet met het manifest: opnieuw ophalen",
                    kCurrentVersionText, WidenBytes(name).c_str());
            return false;
        }
    }
    return true;
}

// Whether the manifest is an update for this folder. An older release is never one
// unless forced; the same release is one only when a local file differs.
bool UpdateDue(const std::string& manifest, std::int32_t version, const WideString& folder,
               bool force) {
    if (force || version > kCurrentVersionNumber)
        return true;
    if (version < kCurrentVersionNumber)
        return false;
    return !LocalFilesMatch(manifest, folder);
}

bool SignatureAccepted(const WideString& baseUrl, const std::string& manifest) {
    const std::string signature = FetchSignatureText(baseUrl + kSignaturePath);
    if (!VerifyManifestSignature(manifest, signature)) {
        LogLine(L"Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet");
        return false;
    }
    LogLine(L"Handtekening van het manifest klopt");
    return true;
}

bool HashMatches(const ByteBuffer& body, const std::string& expected) {
    std::uint8_t digest[32];
    if (expected.empty() || !Sha256(body.data(), static_cast<std::uint32_t>(body.size()), digest)) {
        return false;
    }
    return EqualsAsciiNoCase(HexLower(digest, sizeof digest), expected);
}

// Downloads and checks one listed file; on success its body is appended to staged.
bool FetchAndCheck(const WideString& baseUrl, const std::string& manifest, const std::string& name,
                   std::vector<StagedFile>& staged) {
    if (!IsAllowedUpdateFile(name)) {
        LogLine(L"Update GEWEIGERD: onbekende bestandsnaam '%S' in het manifest", name.c_str());
        return false;
    }
    const WideString wideName = WidenBytes(name);
    ByteBuffer body;
    if (!HttpGet(baseUrl + kFilePathPrefix + wideName, body) || body.size() < kMinimumFileBytes) {
        LogLine(L"Downloaden van %s mislukt", wideName.c_str());
        return false;
    }
    if (!HashMatches(body, ScanObjectString(manifest, kHashesKey, name))) {
        LogLine(L"Update GEWEIGERD: sha256 van %s klopt niet met het manifest", wideName.c_str());
        return false;
    }
    staged.push_back(StagedFile{name, std::move(body)});
    return true;
}

// Every listed file, in manifest order, or false at the first refusal (nothing written).
bool StageAll(const WideString& baseUrl, const std::string& manifest,
              std::vector<StagedFile>& staged) {
    for (const std::string& name : ScanStringArray(manifest, kFilesKey)) {
        if (!FetchAndCheck(baseUrl, manifest, name, staged))
            return false;
    }
    return true;
}

// Writes the staged files, the program's own file last and as "<own name>.new" beside
// the others, since a running program cannot replace itself. Stops at the first write
// that fails; what was written before it stays.
bool WriteAll(const WideString& folder, std::vector<StagedFile>& staged,
              const WideString& ownFileName, UpdateResult& result) {
    std::stable_partition(staged.begin(), staged.end(), [&](const StagedFile& file) {
        return !IsOwnFile(file.name, ownFileName);
    });
    for (const StagedFile& file : staged) {
        const bool own = IsOwnFile(file.name, ownFileName);
        const WideString target = own ? PathJoin(folder, ownFileName + kOwnFileSuffix)
                                      : PathJoin(folder, WidenBytes(file.name));
        const bool written =
            own ? WriteWholeFile(target, file.bytes) : ReplaceFileInUse(target, file.bytes);
        if (!written) {
            const DWORD error = GetLastError();
            LogLine(L"Schrijven van %s mislukt (%lu)", target.c_str(), error);
            return false;
        }
        LogLine(L"Bijgewerkt: %s (%zu bytes)", PathLastComponent(target).c_str(),
                file.bytes.size());
        result.filesChanged = true;
        if (own)
            result.selfUpdateStaged = true;
    }
    return true;
}

}  // namespace

WideString FormatStatusText(const wchar_t* format, ...) {
    // A text longer than the buffer is cut at 2047 units; the status texts are far shorter.
    wchar_t text[kStatusUnits];
    va_list args;
    va_start(args, format);
    FormatWideV(text, kStatusUnits, format, args);
    va_end(args);
    return text;
}

UpdateResult RunUpdate(const WideString& baseUrl, const WideString& folder, bool apply,
                       bool force) {
    UpdateResult result;
    if (baseUrl.empty())
        return result;

    ByteBuffer body;
    if (!HttpGet(baseUrl + kManifestPath, body)) {
        LogLine(L"Geen updateserver bereikbaar (%s)", baseUrl.c_str());
        return result;
    }
    result.serverReached = true;
    // The exact bytes received: the same text is scanned and has its signature checked.
    const std::string manifest = ManifestText(body);
    result.manifestVersion = ScanVersionNumber(manifest);
    const WideString versionText = VersionNumberText(result.manifestVersion);

    if (!UpdateDue(manifest, result.manifestVersion, folder, force)) {
        LogLine(L"Tolbex is up-to-date (versie %s)", kCurrentVersionText);
        return result;
    }
    LogLine(L"Update gevonden: versie %s (nu %s)", versionText.c_str(), kCurrentVersionText);
    if (!apply) {
        result.statusText = FormatStatusText(L"Update beschikbaar: versie %s", versionText.c_str());
        return result;
    }

    std::vector<StagedFile> staged;
    if (!SignatureAccepted(baseUrl, manifest) || !StageAll(baseUrl, manifest, staged)) {
        result.statusText = kGeneralFailure;
        return result;
    }
    if (!WriteAll(folder, staged, OwnFileName(), result)) {
        result.statusText = kWriteFailure;
        return result;
    }
    result.statusText =
        FormatStatusText(L"Tolbex is bijgewerkt naar versie %s.", versionText.c_str());
    return result;
}
