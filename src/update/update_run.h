// One update run: bring a folder to what one update server publishes.
#pragma once

#include <cstdint>

#include "common/types.h"
#include "update/update_progress.h"

// What one run found and did. Every field keeps its default until the step that sets it.
struct UpdateResult {
    // The server answered the manifest's GET with status 200. Set before anything else is
    // decided, so it stays true when the run fails later.
    bool serverReached = false;
    // The write phase committed every file of the release, and there was at least one.
    // False after any failure (the folder is then as it was), when no update was due,
    // when apply was false and for a release with an empty file list.
    bool filesChanged = false;
    // Set together with filesChanged: one of the files was the running program itself,
    // and its new contents wait beside it as "<own name>.new" for the program to take.
    bool selfUpdateStaged = false;
    // ScanVersionNumber of the manifest once it was fetched (299 is "2.9.9"); 0 when the
    // server was not reached or the manifest has no version number.
    std::int32_t manifestVersion = 0;
    // The one-line outcome for a user, or empty (see the table below).
    WideString statusText;
};

// Brings folder to the release that the update server at baseUrl ("https://host[:port]",
// no trailing '/') publishes, compared with the version this installer counts as
// installed (2.9.9, number 299):
// 1. GET baseUrl + "/update/manifest.json". Its exact bytes are scanned and, later,
//    checked against the signature.
// 2. Decide whether an update is due: always with force; otherwise for a newer version,
//    never for an older one, and for 2.9.9 itself only when a listed file that has a
//    hash (the launcher aside) differs from its copy in folder.
// 3. Without apply, stop here and say whether an update is available.
// 4. Verify the signature (GET "/update/manifest.sig") under the compiled-in keys.
// 5. Refuse a file list that names one allowed name twice (RepeatedUpdateFile), before
//    any download. Then download every listed file, in manifest order, from "/update/<name>"; each
//    must bear an allowed name (update_files.h), have at least kMinimumFileBytes and match the
//    manifest's SHA-256. The first refusal ends the run.
// Nothing is written into folder before every check of steps 4 and 5 has passed. Then
// the write phase (file_replace.h), all or nothing:
// 6. Repair what an interrupted earlier write phase left in folder
//    (RecoverInterruptedWrite: a commit with a complete journal is finished, any other
//    leftover removed).
// 7. Prepare: each file whole under "<target>.tijdelijk", flushed to disk. The targets are
//    the files' names in folder in manifest order, except that the running program's
//    own file comes last and goes to "<own name>.new" beside it. A failure removes the
//    temporary files.
// 8. Commit: the journal (file_replace.h) is written and flushed, then each temporary file
//    takes its target's name by rename. The old contents wait
//    as "<target>.vorig" until all are in, then are deleted; a target in use (a running
//    program, a loaded DLL) is moved aside as "<target>.oud" and kept, except the
//    program's own ".new", whose commit then fails. A failure undoes
//    the renames already made, newest first, and removes the journal and the temporary
//    files. The journal goes last, after the backups.
// A failure in any step leaves folder as it was, byte for byte, apart from step 6's
// tidying of an earlier run's leftovers. Only a rename that cannot be undone, or a
// write-phase file that cannot be deleted, each after a few tries (a scanner may hold a
// file), leaves files for the next run: its recovery finishes the update when the
// journal is still there, and deletes the rest. A crash anywhere in the write phase
// leaves what file_replace.h describes, repaired by the next run on any road.
//
// A fetch that fails or comes cut short adds one line directly before the line of the step
// it fails (a manifest cut short: right after its fetch, as it is still scanned):
// "Ophalen van <url> mislukt: <cause>", or "... onvolledig: <cause>" for a body cut
// short, <cause> as FetchFailureText gives it (net/http_get.h); a whole file under 64
// bytes gives "Ophalen van <url> mislukt: <n> bytes, minder dan 64". The outcomes below
// leave these lines out.
//
// Each outcome with its statusText and its log lines, in order. V is the manifest's
// version as VersionNumberText gives it; FOUND stands for the line
// "Update gevonden: versie V (nu 2.9.9)", which every run past step 2 logs, after
// "Versie 2.9.9, maar <name> klopt niet met het manifest: opnieuw ophalen" when a local
// file made the update due.
//   baseUrl empty
//     status  (empty)
//     log     nothing
//   no manifest (no status 200)
//     status  (empty)
//     log     Geen updateserver bereikbaar (<baseUrl>)
//   no update due
//     status  (empty)
//     log     Tolbex is up-to-date (versie 2.9.9)
//   due, apply false
//     status  Update beschikbaar: versie V
//     log     FOUND
//   signature refused
//     status  Bijwerken mislukt, we gaan verder met de huidige versie.
//     log     FOUND; Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet
//   a file refused (the first one; the rest are not fetched)
//     status  Bijwerken mislukt, we gaan verder met de huidige versie.
//     log     FOUND; Handtekening van het manifest klopt; then one of
//             Update GEWEIGERD: <name> staat twee keer in het manifest   (before any download)
//             Update GEWEIGERD: onbekende bestandsnaam '<name>' in het manifest
//             Downloaden van <name> mislukt          (no 200, over 256 MiB, under 64 bytes)
//             Update GEWEIGERD: sha256 van <name> klopt niet met het manifest
//   preparing failed
//     status  Bijwerken mislukt: geen schrijfrechten in deze map.
//     log     FOUND; Handtekening van het manifest klopt; Schrijven van <target> mislukt (<code>)
//   commit failed
//     status  Bijwerken mislukt: geen schrijfrechten in deze map.
//     log     FOUND; Handtekening van het manifest klopt; the lines of "done" for the files
//             committed before the failure (the undo reverts them); for each rename that
//             cannot be undone: Herstellen van <path> mislukt (<code>); last:
//             Schrijven van <target> mislukt (<code>)
//   done (also for an empty file list, with filesChanged false)
//     status  Tolbex is bijgewerkt naar versie V.
//     log     FOUND; Handtekening van het manifest klopt; per file in commit order:
//             <name> was in gebruik (<code>): opzij gezet als <name>.oud   (a file in use)
//             Bijgewerkt: <name> (<size> bytes)
// <target> is the full path of the file being written; <code> is the Windows error code
// of the call that really failed: for a target in use, that of its failed open for
// writing (32 for a sharing violation), for a full disk 112.
//
// Threads: any thread, but it blocks for as long as the downloads take, so never on a
// thread that pumps a window's messages. Two runs must not write the same folder at the
// same time: the caller holds the folder's lock (folder_lock.h) around the run. It keeps
// no state between calls and reads no process-wide record but the log. Throws nothing of
// its own; only a failed allocation (std::bad_alloc) escapes.
//
// progress, when given, hears how far the downloads of step 5 have come (the order of
// its reports is in update_progress.h); without it nothing is reported.
UpdateResult RunUpdate(const WideString& baseUrl, const WideString& folder, bool apply, bool force,
                       const UpdateProgress* progress = nullptr);
