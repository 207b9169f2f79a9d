// How far an update run has come, told to a caller that shows it (the installer window).
#pragma once

#include <cstddef>
#include <cstdint>

// A share of a release's files is counted in thousandths: kProgressFull is every file in.
constexpr std::uint32_t kProgressFull = 1000;

// What a run tells its caller while it fetches. A run that gets as far as a verified
// manifest reports 0 once (its count starts), then shares that never fall as the files
// arrive, and kProgressFull once the last file is in and checked; a run that fails
// stops reporting where it failed. The next run's 0 starts a new count. Before its 0 a
// run reports nothing: how much will come is not known until the manifest is accepted.
// milestone marks the reports a caller that thins them out must keep: the count's start,
// each file's checked end (it may repeat the share told last) and the end. Between
// milestones a share is told only when it has risen, at most kProgressFull times a run.
// report is called on the thread running the update, while it runs; it must return
// quickly and must not fetch.
struct UpdateProgress {
    void (*report)(void* context, std::uint32_t share, bool milestone) = nullptr;
    void* context = nullptr;
};

// The share received when the files before file index (counting from 0) of files equal
// parts are complete and file index has received of announced bytes. Without an
// announced length a file's part counts as empty until the file is complete; a file is
// never counted complete here (received is capped just below announced), because only
// its checked end makes it so. Examples for four files: (0, 4, 0, 0) is 0,
// (1, 4, 50, 100) is 375, (4, 4, 0, 0) is 1000. No files at all count as full.
std::uint32_t ReleaseShare(std::size_t index, std::size_t files, std::uint64_t received,
                           std::uint64_t announced);
