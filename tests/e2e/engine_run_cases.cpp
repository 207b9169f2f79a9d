// RunUpdate and InstallFromServers under Wine against real servers on loopback. The
// driver tests/e2e/engine_run_test.py makes and signs the releases, serves them (nginx
// for whole releases, the hostile server for faults) and passes, in the environment:
//   TOLBEX_ENGINE_RELEASES  the served release folders (Windows path): <name>/update/...
//   TOLBEX_ENGINE_NGINX     nginx's base URL; a release's base is it + "/" + name
//   TOLBEX_ENGINE_HOSTILE   the hostile server's base URL, with the same layout
// The SelfUpdate case runs from a copy of this program named tolbex_launcher.exe, and
// the InstallServers cases against the deployment's own two server addresses.
#include "update/update_run.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "common/handles.h"
#include "common/path_rules.h"
#include "deployment_data.h"
#include "location/install_dir.h"
#include "update/install_servers.h"
#include "update_test_support.h"

namespace {

using update_test::ReadAll;
using update_test::TreeDigest;
using update_test::WriteAll;
using LogLines = std::vector<std::wstring>;

const char* const kFiveFiles[] = {"tolbex_launcher.exe", "tolbex_core.dll", "tolbex_telemetry.dll",
                                  "tolbex.ini", "Vonkel.dll"};
const std::wstring kFound300 = L"Update gevonden: versie 3.0.0 (nu 2.9.9)";
const std::wstring kSignatureOk = L"Handtekening van het manifest klopt";
const std::wstring kSignatureRefused =
    L"Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet";
const std::wstring kGeneralFailure = L"Bijwerken mislukt, we gaan verder met de huidige versie.";
const std::wstring kWriteFailure = L"Bijwerken mislukt: geen schrijfrechten in deze map.";

std::wstring Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? WidenBytes(value) : std::wstring();
}

std::wstring NginxBase(const char* release) {
    return Env("TOLBEX_ENGINE_NGINX") + L"/" + WidenBytes(release);
}
std::wstring HostileBase(const char* release) {
    return Env("TOLBEX_ENGINE_HOSTILE") + L"/" + WidenBytes(release);
}

// A file of a served release, as the server has it.
std::string ReleaseFile(const std::string& release, const std::string& name) {
    return ReadAll(std::filesystem::path(Env("TOLBEX_ENGINE_RELEASES")) / release / "update" /
                   name);
}

// The cause line before a failed fetch's own line.
std::wstring Cause(const std::wstring& base, const char* path, const wchar_t* verdict,
                   const std::wstring& why) {
    return L"Ophalen van " + base + L"/update/" + WidenBytes(path) + L" " + verdict + L": " + why;
}

std::wstring Written(const std::string& release, const std::string& name) {
    return L"Bijgewerkt: " + WidenBytes(name) + L" (" +
           std::to_wstring(ReleaseFile(release, name).size()) + L" bytes)";
}

FileHandle HoldWithoutSharing(const WideString& path) {
    return FileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

class RunUpdateTest : public update_test::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_FALSE(Env("TOLBEX_ENGINE_NGINX").empty()) << "run through engine_run_test.py";
    }

    // An earlier installation: every allowed file with old contents, and a folder of
    // the user's own, so that a refusal has something to leave untouched.
    void SeedOldInstall() {
        for (const char* name : kFiveFiles) WriteAll(dir_ / name, std::string("oud ") + name);
        std::filesystem::create_directory(dir_ / "eigen");
        WriteAll(dir_ / "eigen" / "notities.txt", "van de speler");
    }

    void ExpectReleaseInstalled(const std::string& release, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            EXPECT_EQ(ReadAll(dir_ / name), ReleaseFile(release, name)) << name;
        }
    }
};

// Every refusal before the write phase, and every server that gives no manifest: nothing
// written, the folder byte for byte as it was, and exactly the lines up to the refusal.
// A refusal answers with the general text; an unreached server with the empty result.
TEST_F(RunUpdateTest, RefusalsAndUnreachedServersLeaveTheFolderUntouched) {
    const auto nameRefused = [](const char* name) {
        return L"Update GEWEIGERD: onbekende bestandsnaam '" + WidenBytes(name) +
               L"' in het manifest";
    };
    const std::wstring iniHashRefused =
        L"Update GEWEIGERD: sha256 van tolbex.ini klopt niet met het manifest";
    const std::wstring iniDownloadFailed = L"Downloaden van tolbex.ini mislukt";
    const auto listedTwice = [](const char* name) {
        return L"Update GEWEIGERD: " + WidenBytes(name) + L" staat twee keer in het manifest";
    };
    const struct {
        std::wstring base;
        LogLines lines;
        bool reached = true;
    } cases[] = {
        {L"", {}, false},
        {HostileBase("manifest500"),
         {Cause(HostileBase("manifest500"), "manifest.json", L"mislukt", L"status 500"),
          L"Geen updateserver bereikbaar (" + HostileBase("manifest500") + L")"},
         false},
        {L"http://localhost:9",
         {Cause(L"http://localhost:9", "manifest.json", L"mislukt",
                L"WinHttpSendRequest gaf fout 12029 (geen verbinding)"),
          L"Geen updateserver bereikbaar (http://localhost:9)"},
         false},
        {NginxBase("unsigned"),
         {kFound300, Cause(NginxBase("unsigned"), "manifest.sig", L"mislukt", L"status 404"),
          kSignatureRefused}},
        {NginxBase("unknown_key"), {kFound300, kSignatureRefused}},
        {NginxBase("other_bytes"), {kFound300, kSignatureRefused}},
        {NginxBase("unknown_name"), {kFound300, kSignatureOk, nameRefused("tolbex_extra.dll")}},
        // A folder part, as the last entry after two files that downloaded fine.
        {NginxBase("folder_sub"), {kFound300, kSignatureOk, nameRefused("sub/tolbex.ini")}},
        {NginxBase("folder_parent"), {kFound300, kSignatureOk, nameRefused("..\\tolbex.ini")}},
        {NginxBase("folder_drive"), {kFound300, kSignatureOk, nameRefused("C:\\x\\tolbex.ini")}},
        {NginxBase("hash_missing"), {kFound300, kSignatureOk, iniHashRefused}},
        {NginxBase("hash_short"), {kFound300, kSignatureOk, iniHashRefused}},
        {NginxBase("hash_spaced"), {kFound300, kSignatureOk, iniHashRefused}},
        {NginxBase("hash_of_other_file"), {kFound300, kSignatureOk, iniHashRefused}},
        {NginxBase("caps_spelled_lower"),
         {kFound300, kSignatureOk,
          L"Update GEWEIGERD: sha256 van TOLBEX_CORE.DLL klopt niet met het manifest"}},
        {NginxBase("size63"),
         {kFound300, kSignatureOk,
          Cause(NginxBase("size63"), "tolbex.ini", L"mislukt", L"63 bytes, minder dan 64"),
          iniDownloadFailed}},
        {NginxBase("not_served"),  // nginx 404
         {kFound300, kSignatureOk,
          Cause(NginxBase("not_served"), "tolbex.ini", L"mislukt", L"status 404"),
          iniDownloadFailed}},
        // Refused before any download: none of these releases serves a file.
        {NginxBase("twice_exact"), {kFound300, kSignatureOk, listedTwice("tolbex.ini")}},
        {NginxBase("twice_case"), {kFound300, kSignatureOk, listedTwice("TOLBEX.INI")}},
        {HostileBase("status500"),
         {kFound300, kSignatureOk,
          Cause(HostileBase("status500"), "tolbex_core.dll", L"mislukt", L"status 500"),
          L"Downloaden van tolbex_core.dll mislukt"}},
        // Cut off after 100 of 300 announced bytes: HttpGet hands over what came, and
        // the hash refuses it.
        {HostileBase("truncated"),
         {kFound300, kSignatureOk,
          Cause(HostileBase("truncated"), "tolbex.ini", L"onvolledig",
                L"afgebroken na 100 van 300 aangekondigde bytes"),
          iniHashRefused}},
        {HostileBase("endless"),
         {kFound300, kSignatureOk,
          Cause(HostileBase("endless"), "tolbex.ini", L"mislukt", L"groter dan 268435456 bytes"),
          iniDownloadFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        Reset();
        SeedOldInstall();
        const std::string before = TreeDigest(dir_);
        const UpdateResult result = RunUpdate(c.base, dir_.wstring(), true, false);
        EXPECT_EQ(result.serverReached, c.reached);
        EXPECT_FALSE(result.filesChanged);
        EXPECT_FALSE(result.selfUpdateStaged);
        EXPECT_EQ(result.manifestVersion, c.reached ? 300 : 0);
        EXPECT_EQ(result.statusText, c.reached ? kGeneralFailure : L"");
        EXPECT_EQ(Lines(), c.lines);
        EXPECT_EQ(TreeDigest(dir_), before);
    }
}

TEST_F(RunUpdateTest, WritesEveryFileOfAnAcceptedRelease) {
    SeedOldInstall();
    const UpdateResult result = RunUpdate(NginxBase("full300"), dir_.wstring(), true, false);
    EXPECT_TRUE(result.serverReached);
    EXPECT_TRUE(result.filesChanged);
    EXPECT_FALSE(result.selfUpdateStaged);
    EXPECT_EQ(result.statusText, L"Tolbex is bijgewerkt naar versie 3.0.0.");
    LogLines expected{kFound300, kSignatureOk};
    for (const char* name : kFiveFiles) expected.push_back(Written("full300", name));
    EXPECT_EQ(Lines(), expected);
    ExpectReleaseInstalled("full300", {std::begin(kFiveFiles), std::end(kFiveFiles)});
    EXPECT_EQ(ReadAll(dir_ / "eigen" / "notities.txt"), "van de speler");
}

// The milestones are kept apart: they must be the count's start, each file's end, the end.
struct Heard {
    std::vector<std::uint32_t> shares, milestones;
};

void RecordShare(void* context, std::uint32_t share, bool milestone) {
    auto& heard = *static_cast<Heard*>(context);
    heard.shares.push_back(share);
    if (milestone)
        heard.milestones.push_back(share);
}

// What a caller showing progress hears: nothing before the manifest is accepted, then a
// count from 0 that never falls, with each file's end a milestone at its equal part, and
// full only when every file is in; a refusal stops the count short.
TEST_F(RunUpdateTest, ProgressCountsFromZeroUpAndIsFullOnlyWhenEveryFileIsIn) {
    const struct {
        std::wstring base;
        bool counted;
        bool full;
    } cases[] = {
        {NginxBase("full300"), true, true},
        {HostileBase("truncated"), true, false},
        {NginxBase("unsigned"), false, false},
        {L"http://localhost:9", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        Reset();
        Heard heard;
        const UpdateProgress progress{RecordShare, &heard};
        RunUpdate(c.base, dir_.wstring(), true, false, &progress);
        if (!c.counted) {
            EXPECT_TRUE(heard.shares.empty());
            continue;
        }
        ASSERT_FALSE(heard.shares.empty());
        EXPECT_EQ(heard.shares.front(), 0u);
        EXPECT_TRUE(std::is_sorted(heard.shares.begin(), heard.shares.end()));
        EXPECT_EQ(heard.shares.back() == kProgressFull, c.full);
        EXPECT_EQ(heard.milestones.front(), 0u);
        if (c.full) {
            // Five files: each one's checked end is a fifth more.
            EXPECT_EQ(heard.milestones,
                      (std::vector<std::uint32_t>{0, 200, 400, 600, 800, kProgressFull}));
            EXPECT_GT(heard.shares.size(), heard.milestones.size());
        }
    }
}

// Uppercase hex in the manifest, a file of exactly 64 bytes, and a name in capitals
// whose hash entry is spelled the same way.
TEST_F(RunUpdateTest, AcceptsUppercaseHashSixtyFourBytesAndCapitalName) {
    const UpdateResult result = RunUpdate(NginxBase("accepted_edges"), dir_.wstring(), true, false);
    EXPECT_TRUE(result.filesChanged);
    EXPECT_EQ(result.statusText, L"Tolbex is bijgewerkt naar versie 3.0.0.");
    EXPECT_EQ(ReleaseFile("accepted_edges", "tolbex.ini").size(), 64u);
    EXPECT_EQ(Lines(), (LogLines{kFound300, kSignatureOk, Written("accepted_edges", "tolbex.ini"),
                                 Written("accepted_edges", "TOLBEX_CORE.DLL")}));
    ExpectReleaseInstalled("accepted_edges", {"tolbex.ini", "TOLBEX_CORE.DLL"});
}

TEST_F(RunUpdateTest, EmptyFileListIsDoneWithoutChanges) {
    SeedOldInstall();
    const std::string before = TreeDigest(dir_);
    const UpdateResult result = RunUpdate(NginxBase("empty_list"), dir_.wstring(), true, false);
    EXPECT_TRUE(result.serverReached);
    EXPECT_FALSE(result.filesChanged);
    EXPECT_EQ(result.statusText, L"Tolbex is bijgewerkt naar versie 3.0.0.");
    EXPECT_EQ(Lines(), (LogLines{kFound300, kSignatureOk}));
    EXPECT_EQ(TreeDigest(dir_), before);
}

// The four combinations of apply and force, on an older and a newer release. An older
// release that is validly signed is installed when forced: the signature says who made
// a manifest, not that it is the newest.
TEST_F(RunUpdateTest, ApplyAndForceDecideBetweenReportAndInstall) {
    const std::wstring found298 = L"Update gevonden: versie 2.9.8 (nu 2.9.9)";
    const struct {
        const char* release;
        bool apply, force;
        LogLines lines;
        std::wstring status;
        bool written;
    } cases[] = {
        {"old298", true, false, {L"Tolbex is up-to-date (versie 2.9.9)"}, L"", false},
        {"old298", false, false, {L"Tolbex is up-to-date (versie 2.9.9)"}, L"", false},
        {"old298", false, true, {found298}, L"Update beschikbaar: versie 2.9.8", false},
        {"old298",
         true,
         true,
         {found298, kSignatureOk, Written("old298", "tolbex_core.dll"),
          Written("old298", "tolbex.ini")},
         L"Tolbex is bijgewerkt naar versie 2.9.8.",
         true},
        {"full300", false, false, {kFound300}, L"Update beschikbaar: versie 3.0.0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.release) + (c.apply ? " apply" : "") +
                     (c.force ? " force" : ""));
        Reset();
        SeedOldInstall();
        const std::string before = TreeDigest(dir_);
        const UpdateResult result =
            RunUpdate(NginxBase(c.release), dir_.wstring(), c.apply, c.force);
        EXPECT_TRUE(result.serverReached);
        EXPECT_EQ(result.filesChanged, c.written);
        EXPECT_EQ(result.statusText, c.status);
        EXPECT_EQ(Lines(), c.lines);
        if (c.written) {
            ExpectReleaseInstalled(c.release, {"tolbex_core.dll", "tolbex.ini"});
        } else {
            EXPECT_EQ(TreeDigest(dir_), before);
        }
    }
}

// At the current version the local files decide. same299 lists the launcher, the core
// (lowercase hash) and tolbex.ini (uppercase hash).
TEST_F(RunUpdateTest, SameVersionUpdatesOnlyWhenALocalFileDiffers) {
    const auto mismatch = [](const char* name) {
        return L"Versie 2.9.9, maar " + WidenBytes(name) +
               L" klopt niet met het manifest: opnieuw ophalen";
    };
    const std::wstring upToDate = L"Tolbex is up-to-date (versie 2.9.9)";
    const struct {
        const char* what;
        const char* changed;  // written with other bytes
        const char* missing;  // removed
        LogLines firstLines;
    } cases[] = {
        {"all match", nullptr, nullptr, {upToDate}},
        {"launcher changed", "tolbex_launcher.exe", nullptr, {upToDate}},
        {"core changed", "tolbex_core.dll", nullptr, {mismatch("tolbex_core.dll")}},
        {"ini missing", nullptr, "tolbex.ini", {mismatch("tolbex.ini")}},
    };
    const std::vector<std::string> names{"tolbex_launcher.exe", "tolbex_core.dll", "tolbex.ini"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        for (const std::string& name : names) WriteAll(dir_ / name, ReleaseFile("same299", name));
        if (c.changed)
            WriteAll(dir_ / c.changed, "anders");
        if (c.missing)
            std::filesystem::remove(dir_ / c.missing);
        const std::string before = TreeDigest(dir_);
        const UpdateResult result = RunUpdate(NginxBase("same299"), dir_.wstring(), true, false);
        const bool due = c.firstLines.front() != upToDate;
        LogLines expected = c.firstLines;
        if (due) {
            expected.push_back(L"Update gevonden: versie 2.9.9 (nu 2.9.9)");
            expected.push_back(kSignatureOk);
            for (const std::string& name : names) expected.push_back(Written("same299", name));
        }
        EXPECT_EQ(Lines(), expected);
        EXPECT_EQ(result.filesChanged, due);
        if (due) {
            ExpectReleaseInstalled("same299", names);
        } else {
            EXPECT_EQ(TreeDigest(dir_), before);
        }
    }
}

// The third of five files is held open by another handle without any sharing, so it can
// be neither replaced nor moved aside (sharing violation, 32, in the line). The two files
// committed before it go back: the folder is byte for byte as before, and the run
// changed nothing.
TEST_F(RunUpdateTest, WriteFailureOnTheThirdFileUndoesTheWholeUpdate) {
    SeedOldInstall();
    const std::string before = TreeDigest(dir_);
    FileHandle holder = HoldWithoutSharing(Path("tolbex_telemetry.dll"));
    ASSERT_TRUE(holder);
    const UpdateResult result = RunUpdate(NginxBase("full300"), dir_.wstring(), true, false);
    holder.reset();

    EXPECT_FALSE(result.filesChanged);
    EXPECT_EQ(result.statusText, kWriteFailure);
    EXPECT_EQ(Lines(),
              (LogLines{kFound300, kSignatureOk, Written("full300", "tolbex_launcher.exe"),
                        Written("full300", "tolbex_core.dll"),
                        L"Schrijven van " + PathJoin(dir_.wstring(), L"tolbex_telemetry.dll") +
                            L" mislukt (32)"}));
    EXPECT_EQ(TreeDigest(dir_), before);
}

// The running program's own file is recognised by its path, not its name. Run from a copy
// of this program named tolbex_launcher.exe in a downloads folder: into another folder the
// release's launcher is written under its own name; into the copy's own folder it goes
// last and beside the running file, as tolbex_launcher.exe.new.
TEST_F(RunUpdateTest, SelfUpdateOnlyWhenTheTargetIsTheRunningProgram) {
    wchar_t own[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    ASSERT_EQ(PathLastComponent(own), L"tolbex_launcher.exe") << "run from a copy";
    const std::filesystem::path downloads = PathParent(own);
    ASSERT_NE(downloads, dir_);
    const std::string launcher = ReleaseFile("launcher_ini", "tolbex_launcher.exe");

    const UpdateResult elsewhere = RunUpdate(NginxBase("launcher_ini"), dir_.wstring(), true, true);
    EXPECT_TRUE(elsewhere.filesChanged);
    EXPECT_FALSE(elsewhere.selfUpdateStaged);
    EXPECT_EQ(ReadAll(dir_ / "tolbex_launcher.exe"), launcher);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "tolbex_launcher.exe.new"));
    EXPECT_EQ(Lines(),
              (LogLines{kFound300, kSignatureOk, Written("launcher_ini", "tolbex_launcher.exe"),
                        Written("launcher_ini", "tolbex.ini")}));

    Reset();
    const std::string running = ReadAll(own);
    const UpdateResult inOwnFolder =
        RunUpdate(NginxBase("launcher_ini"), downloads.wstring(), true, true);
    EXPECT_TRUE(inOwnFolder.filesChanged);
    EXPECT_TRUE(inOwnFolder.selfUpdateStaged);
    EXPECT_EQ(inOwnFolder.statusText, L"Tolbex is bijgewerkt naar versie 3.0.0.");
    EXPECT_EQ(Lines(), (LogLines{kFound300, kSignatureOk, Written("launcher_ini", "tolbex.ini"),
                                 L"Bijgewerkt: tolbex_launcher.exe.new (" +
                                     std::to_wstring(launcher.size()) + L" bytes)"}));
    EXPECT_EQ(ReadAll(downloads / "tolbex_launcher.exe.new"), launcher);
    EXPECT_EQ(ReadAll(own), running);
}

// InstallFromServers against the deployment's own addresses: nothing listens on the
// first, the driver serves one release (or none) on the second.
class InstallServers : public update_test::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        InstallDir = dir_.wstring();
    }
    static std::wstring Failed(const wchar_t* server) {
        return std::wstring(L"[installer] via ") + server + L" niet gelukt";
    }
    // Nothing listens there: the connection is refused.
    static std::wstring Refused(const wchar_t* server) {
        return Cause(server, "manifest.json", L"mislukt",
                     L"WinHttpSendRequest gaf fout 12029 (geen verbinding)");
    }
    static std::wstring Unreachable(const wchar_t* server) {
        return std::wstring(L"Geen updateserver bereikbaar (") + server + L")";
    }
    std::string served_ =
        std::getenv("TOLBEX_ENGINE_SERVED") ? std::getenv("TOLBEX_ENGINE_SERVED") : "";
};

// A launcher left by an earlier install does not make a run that wrote nothing count. The
// second server serves no release here: its manifest is a 404.
TEST_F(InstallServers, BothFailingLogsBothInOrder) {
    WriteAll(dir_ / "tolbex_launcher.exe", "oud");
    EXPECT_FALSE(InstallFromServers());
    EXPECT_EQ(Lines(),
              (LogLines{Refused(TOLBEX_UPDATE_SERVER_1), Unreachable(TOLBEX_UPDATE_SERVER_1),
                        Failed(TOLBEX_UPDATE_SERVER_1),
                        Cause(TOLBEX_UPDATE_SERVER_2, "manifest.json", L"mislukt", L"status 404"),
                        Unreachable(TOLBEX_UPDATE_SERVER_2), Failed(TOLBEX_UPDATE_SERVER_2)}));
}

TEST_F(InstallServers, SecondServerDeliversAfterFirstUnreachable) {
    ASSERT_EQ(served_, "full300");
    EXPECT_TRUE(InstallFromServers());
    LogLines expected{Refused(TOLBEX_UPDATE_SERVER_1), Unreachable(TOLBEX_UPDATE_SERVER_1),
                      Failed(TOLBEX_UPDATE_SERVER_1), kFound300, kSignatureOk};
    for (const char* name : kFiveFiles) expected.push_back(Written("full300", name));
    EXPECT_EQ(Lines(), expected);
}

TEST_F(InstallServers, ReleaseWithoutLauncherCountsAsFailed) {
    ASSERT_EQ(served_, "no_launcher");
    EXPECT_FALSE(InstallFromServers());
    EXPECT_EQ(Lines(),
              (LogLines{Refused(TOLBEX_UPDATE_SERVER_1), Unreachable(TOLBEX_UPDATE_SERVER_1),
                        Failed(TOLBEX_UPDATE_SERVER_1), kFound300, kSignatureOk,
                        Written("no_launcher", "tolbex_core.dll"),
                        Written("no_launcher", "tolbex.ini"), Failed(TOLBEX_UPDATE_SERVER_2)}));
    EXPECT_EQ(ReadAll(dir_ / "tolbex.ini"), ReleaseFile("no_launcher", "tolbex.ini"));
}

// The launcher arrives, then tolbex.ini cannot be written: the update is undone, so no
// launcher is left behind, and the server counts as failed.
TEST_F(InstallServers, LauncherWrittenThenLaterFileFailsIsAFailedServer) {
    ASSERT_EQ(served_, "launcher_ini");
    WriteAll(dir_ / "tolbex.ini", "oud");
    const std::string before = TreeDigest(dir_);
    FileHandle holder = HoldWithoutSharing(Path("tolbex.ini"));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(InstallFromServers());
    holder.reset();
    EXPECT_EQ(Lines(),
              (LogLines{Refused(TOLBEX_UPDATE_SERVER_1), Unreachable(TOLBEX_UPDATE_SERVER_1),
                        Failed(TOLBEX_UPDATE_SERVER_1), kFound300, kSignatureOk,
                        Written("launcher_ini", "tolbex_launcher.exe"),
                        L"Schrijven van " + Path("tolbex.ini") + L" mislukt (32)",
                        Failed(TOLBEX_UPDATE_SERVER_2)}));
    EXPECT_EQ(TreeDigest(dir_), before);
}

}  // namespace
