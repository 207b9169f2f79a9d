// How the installer's HTTP client talks to an update server (platform-free). HttpGet
// applies these on WinHTTP; tolbex-publish check applies the same on libcurl, so that an
// operator's check of a live server fails where a player's installer would.
#pragma once

#include <cstdint>

// The User-Agent of every request.
inline constexpr char kHttpAgent[] = "Tolbex";

// WinHTTP's four time-outs: name resolution, connect, send, and the wait for each
// piece of the answer (which starts again with every byte that arrives).
inline constexpr int kResolveTimeoutMs = 3000;
inline constexpr int kConnectTimeoutMs = 3000;
inline constexpr int kSendTimeoutMs = 5000;
inline constexpr int kReceiveTimeoutMs = 15000;

// What HttpGet's own deadlines add to the time-outs above before giving up on a fetch
// whose call has not returned (Wine does not end every wait at the time-out).
inline constexpr int kDeadlineSlackMs = 2000;

// The floor on progress: a request fails when fewer than kFloorBytes body bytes arrived
// in the last kFloorSeconds, counted from the moment the request is sent. A steady
// 4 KB/s brings 120 KB per window and never comes near it; one byte a second (30 bytes
// per window) fails after 30 s.
inline constexpr std::uint64_t kFloorBytes = 1024;
inline constexpr unsigned kFloorSeconds = 30;
