// One update run against one server: fetch, decide, verify the signature, download and
// check every file, and only then write them, the program's own file last (the contract,
// with every outcome's status text and log lines, is in the header).
#include "update/update_run.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <utility>
#include <vector>

#include "common/file_sizes.h"
#include "common/path_rules.h"
#include "crypto/manifest_signature.h"
#include "crypto/sha256.h"
#include "crypto/hex.h"
#include "log/log.h"
#include "location/canonical_path.h"
#include "log/log_format.h"
#include "net/http_get.h"
#include "update/current_version.h"
#include "update/file_replace.h"
#include "update/manifest_scan.h"
#include "update/signature_fetch.h"
#include "update/update_paths.h"
#include "update/update_progress.h"
#include "common/update_files.h"

namespace {

const WideString kManifestPath = WidenBytes(UpdateFilePath(kManifestFileName));
const WideString kSignaturePath = WidenBytes(UpdateFilePath(kSignatureFileName));
const WideString kFilePathPrefix = WidenBytes(UpdateFilePath(""));
constexpr char kFilesKey[] = "\"files\"";
constexpr char kHashesKey[] = "\"sha256\"";

constexpr DWORD kModulePathUnits = 260;
constexpr DWORD kLongestPathUnits = 32768;
constexpr std::size_t kStatusUnits = 2048;

constexpr wchar_t kGeneralFailure[] = L"Bijwerken mislukt, we gaan verder met de huidige versie.";
constexpr wchar_t kWriteFailure[] = L"Bijwerken mislukt: geen schrijfrechten in deze map.";

// A downloaded and verified file, held in memory until the write phase: its name exactly
// as the manifest spells it, and the body moved in from the download. (Its copy on disk,
// written by the write phase's first step, is its temporary file.)
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

// The program's own path. The 260-unit buffer holds every ordinary path; a longer one
// (a deep \\?\ folder) is read again into a buffer of the longest Windows path, so the
// path is never cut off.
WideString OwnPath() {
    WideString path = ModulePath(kModulePathUnits);
    if (path.empty())
        path = ModulePath(kLongestPathUnits);
    return path;
}

// Whether target is the running program itself: the same file whatever the spelling
// (weakly canonical forms, ASCII case-insensitive). A copy named tolbex_launcher.exe in
// a downloads folder is not the launcher in the install folder. Either form failing
// means "not the same", never "equal because both are empty".
bool IsOwnFile(const WideString& target, const WideString& ownCanonical) {
    return SameCanonicalForm(WeaklyCanonicalPath(target), ownCanonical);
}

// printf-style (log_format.h meanings). A text longer than the buffer is cut at 2047
// units; the status texts are far shorter.
WideString FormatStatusText(const wchar_t* format, ...) {
    wchar_t text[kStatusUnits];
    va_list args;
    va_start(args, format);
    FormatWideV(text, kStatusUnits, format, args);
    va_end(args);
    return text;
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
        if (expected.empty() || IsLauncherFile(name))
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

// Why a fetch failed or came cut short, as one line before the step's own line; nothing
// for a whole body. The full URL, so an operator sees which server and file.
void LogFetchCause(const WideString& url, const FetchFailure& failure) {
    if (failure.cause == FetchCause::kNone)
        return;
    const wchar_t* verdict = failure.cause == FetchCause::kCutShort ? L"onvolledig" : L"mislukt";
    LogLine(L"Ophalen van %s %s: %s", url.c_str(), verdict, FetchFailureText(failure).c_str());
}

bool SignatureAccepted(const WideString& baseUrl, const std::string& manifest) {
    const WideString url = baseUrl + kSignaturePath;
    FetchFailure failure;
    const std::string signature = FetchSignatureText(url, failure);
    if (!VerifyManifestSignature(manifest, signature)) {
        LogFetchCause(url, failure);
        LogLine(L"Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet");
        return false;
    }
    LogLine(L"Handtekening van het manifest klopt");
    return true;
}

bool HashMatches(const ByteBuffer& body, const std::string& expected) {
    std::uint8_t digest[kSha256Bytes];
    if (expected.empty() || !Sha256(body.data(), static_cast<std::uint32_t>(body.size()), digest)) {
        return false;
    }
    return EqualsAsciiNoCase(HexLower(digest, sizeof digest), expected);
}

// The caller's progress over one run's downloads: which file is arriving, and the last
// share told, so that the caller hears a share between milestones only once it has
// risen, and never one that goes back.
struct RunProgress {
    const UpdateProgress* progress;
    std::size_t files;
    std::size_t index = 0;
    std::uint32_t told = 0;

    void Tell(std::uint32_t share, bool milestone) {
        if (share > told || milestone) {
            told = share > told ? share : told;
            progress->report(progress->context, told, milestone);
        }
    }
};

void TellFileProgress(void* context, std::uint64_t received, std::uint64_t announced) {
    auto& run = *static_cast<RunProgress*>(context);
    run.Tell(ReleaseShare(run.index, run.files, received, announced), false);
}

// Downloads and checks one listed file; on success its body is appended to staged.
bool FetchAndCheck(const WideString& baseUrl, const std::string& manifest, const std::string& name,
                   std::vector<StagedFile>& staged, const FetchProgress* fetchProgress) {
    if (!IsAllowedUpdateFile(name)) {
        LogLine(L"Update GEWEIGERD: onbekende bestandsnaam '%S' in het manifest", name.c_str());
        return false;
    }
    const WideString wideName = WidenBytes(name);
    const WideString url = baseUrl + kFilePathPrefix + wideName;
    ByteBuffer body;
    FetchFailure failure;
    const bool fetched = HttpFetch(url, body, failure, fetchProgress);
    if (!fetched || body.size() < kMinimumFileBytes) {
        if (fetched && failure.cause == FetchCause::kNone) {
            LogLine(L"Ophalen van %s mislukt: %zu bytes, minder dan %zu", url.c_str(), body.size(),
                    kMinimumFileBytes);
        }
        LogFetchCause(url, failure);
        LogLine(L"Downloaden van %s mislukt", wideName.c_str());
        return false;
    }
    if (!HashMatches(body, ScanObjectString(manifest, kHashesKey, name))) {
        LogFetchCause(url, failure);
        LogLine(L"Update GEWEIGERD: sha256 van %s klopt niet met het manifest", wideName.c_str());
        return false;
    }
    staged.push_back(StagedFile{name, std::move(body)});
    return true;
}

// Every listed file, in manifest order, or false at the first refusal (nothing written).
// A name listed twice is refused before any download. With progress, the count starts at
// 0 once the names have passed that check, and each checked file completes its part.
bool FetchAll(const WideString& baseUrl, const std::string& manifest,
              std::vector<StagedFile>& staged, const UpdateProgress* progress) {
    const std::vector<std::string> names = ScanStringArray(manifest, kFilesKey);
    const std::string repeated = RepeatedUpdateFile(names);
    if (!repeated.empty()) {
        LogLine(L"Update GEWEIGERD: %S staat twee keer in het manifest", repeated.c_str());
        return false;
    }
    const bool told = progress && progress->report;
    RunProgress run{progress, names.size()};
    const FetchProgress fetchProgress{TellFileProgress, &run};
    if (told)
        run.Tell(0, true);
    for (const std::string& name : names) {
        if (!FetchAndCheck(baseUrl, manifest, name, staged, told ? &fetchProgress : nullptr))
            return false;
        if (told)
            run.Tell(ReleaseShare(++run.index, run.files, 0, 0), true);
    }
    if (told && names.empty())
        run.Tell(kProgressFull, true);  // nothing to wait for
    return true;
}

// A verified file's place in the write phase: where it goes, where it waits, and whether
// it is the running program's own file (written beside it as "<own name>.new").
struct PlannedWrite {
    const StagedFile* file;
    WideString target;
    WideString temporary;  // target + ".tijdelijk"
    bool own;
};

// Manifest order, except that the program's own file comes last.
std::vector<PlannedWrite> PlanWrites(const WideString& folder,
                                     const std::vector<StagedFile>& staged,
                                     const WideString& ownPath) {
    const WideString ownCanonical = WeaklyCanonicalPath(ownPath);
    std::vector<PlannedWrite> plan;
    for (const StagedFile& file : staged) {
        const WideString target = PathJoin(folder, WidenBytes(file.name));
        const bool own = IsOwnFile(target, ownCanonical);
        const WideString written =
            own ? PathJoin(folder, PathLastComponent(ownPath) + WidenBytes(kOwnFileSuffix))
                : target;
        plan.push_back(PlannedWrite{&file, written, TemporaryPathOf(written), own});
    }
    std::stable_partition(plan.begin(), plan.end(),
                          [](const PlannedWrite& write) { return !write.own; });
    return plan;
}

void RemoveTemporaryFiles(const std::vector<PlannedWrite>& plan) {
    for (const PlannedWrite& write : plan) RemoveWritePhaseFile(write.temporary);
}

// Logs the failed write with the code of the call that failed; false for the caller.
bool WriteFailed(const WideString& target, DWORD error) {
    LogLine(L"Schrijven van %s mislukt (%lu)", target.c_str(), error);
    return false;
}

// Prepare: every file whole under its temporary name, flushed, before any target is touched.
// A failure removes the temporary files again, so the folder is as it was.
bool WriteTemporaryFiles(const std::vector<PlannedWrite>& plan) {
    for (const PlannedWrite& write : plan) {
        if (!WriteDurableFile(write.temporary, write.file->bytes)) {
            const DWORD error = GetLastError();
            RemoveTemporaryFiles(plan);
            return WriteFailed(write.target, error);
        }
    }
    return true;
}

// Commit: the journal, then each temporary file takes its target's name. A failure puts
// every old file back under its name, then removes the journal and the temporary files, so
// the folder is again as it was. When an old file cannot be put back, the journal and
// the temporary files stay, and the next run's recovery finishes the update instead.
bool CommitAll(const WideString& folder, const std::vector<PlannedWrite>& plan) {
    std::vector<WideString> targets;
    for (const PlannedWrite& write : plan) targets.push_back(write.target);
    const WideString journalFile = JournalFilePath(folder);
    if (!WriteJournalFile(folder, targets)) {
        const DWORD error = GetLastError();
        if (RemoveWritePhaseFile(journalFile))
            RemoveTemporaryFiles(plan);
        return WriteFailed(journalFile, error);
    }
    CommitJournal journal;
    for (const PlannedWrite& write : plan) {
        const WhenInUse inUse = write.own ? WhenInUse::kFail : WhenInUse::kMoveAside;
        if (!CommitTemporaryFile(write.temporary, write.target, inUse, journal)) {
            const DWORD error = GetLastError();
            if (UndoRenames(journal) && RemoveWritePhaseFile(journalFile))
                RemoveTemporaryFiles(plan);
            return WriteFailed(write.target, error);
        }
        LogLine(L"Bijgewerkt: %s (%zu bytes)", PathLastComponent(write.target).c_str(),
                write.file->bytes.size());
    }
    DiscardBackups(journal);
    RemoveWritePhaseFile(journalFile);
    return true;
}

// Writes the verified files all or nothing: the folder ends with every file new, or
// exactly as it was. Leftovers of an interrupted earlier run are tidied first.
bool WriteAll(const WideString& folder, const std::vector<StagedFile>& staged,
              const WideString& ownPath, UpdateResult& result) {
    RecoverInterruptedWrite(folder);
    const std::vector<PlannedWrite> plan = PlanWrites(folder, staged, ownPath);
    if (!WriteTemporaryFiles(plan) || !CommitAll(folder, plan))
        return false;
    result.filesChanged = !plan.empty();
    result.selfUpdateStaged =
        std::any_of(plan.begin(), plan.end(), [](const PlannedWrite& write) { return write.own; });
    return true;
}

}  // namespace

UpdateResult RunUpdate(const WideString& baseUrl, const WideString& folder, bool apply, bool force,
                       const UpdateProgress* progress) {
    UpdateResult result;
    if (baseUrl.empty())
        return result;

    ByteBuffer body;
    FetchFailure failure;
    const bool fetched = HttpFetch(baseUrl + kManifestPath, body, failure);
    // A manifest cut short is still scanned (its signature check refuses it); its cause
    // comes first all the same.
    LogFetchCause(baseUrl + kManifestPath, failure);
    if (!fetched) {
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
    if (!SignatureAccepted(baseUrl, manifest) || !FetchAll(baseUrl, manifest, staged, progress)) {
        result.statusText = kGeneralFailure;
        return result;
    }
    if (!WriteAll(folder, staged, OwnPath(), result)) {
        result.statusText = kWriteFailure;
        return result;
    }
    result.statusText =
        FormatStatusText(L"Tolbex is bijgewerkt naar versie %s.", versionText.c_str());
    return result;
}
