// The installer's only network operation: one HTTP(S) GET on WinHTTP that always ends.
//
// How every fetch ends by itself. WinHTTP runs in its synchronous mode on a helper
// thread of the fetch's own; the calling thread waits for it with a deadline and gives it
// up (never joins it) when the deadline passes:
//   - before the connection stands: kResolveTimeoutMs + kConnectTimeoutMs after the start;
//   - once it stands: kReceiveTimeoutMs after the last sign of life (the connection, the
//     request sent, the response headers, each body read), so a server that accepts and
//     says nothing, or stops after the status line, the headers or half the body, is cut;
//   - always: the progress floor of http_rules.h (a drip).
// Each of these has kDeadlineSlackMs on top for the thread switch (far under 5 s).
// Why a thread and not the platform's own time-outs: Wine 8 does not end the wait for the
// status line at the receive time-out, and closing the request handle from another thread
// does not wake a blocked call there either; a thread that is given up is the one way
// that holds on Windows and Wine alike. (WinHTTP's asynchronous mode would do as well on
// Windows, but its completion callbacks after a close are where Wine differs most.)
//
// The helper thread and the caller share one record through a reference count: the
// helper opens, uses and closes every WinHTTP handle itself; its body bytes and outcome go
// into the record under the record's lock. A caller that gives up marks the record
// abandoned under that lock and takes the body read so far; from then on the helper only
// closes its handles and lets go of its reference, whenever its blocked call returns
// (the server closes, or the platform's own time-out strikes). A late thread therefore
// touches only the record it owns a share of. Its handle is closed at once, so nothing
// waits for it: a process that returns from its entry point exits even while such a
// thread is still blocked in a socket.
//
// Every fetch on a connection of its own: keep-alive is switched off for each request
// (WINHTTP_DISABLE_KEEP_ALIVE). Wine's WinHTTP pools connections per host across sessions,
// so a fresh session alone does not give a fresh connection, and a pooled one that the
// server closed while idle swallows the next request. Switching keep-alive off rather
// than retrying on a new connection keeps "one request, one try" plain: nothing is ever
// sent twice, and the cost (a new TCP and TLS handshake per file) is a few files a run.
#pragma once

#include <cstdint>

#include "common/types.h"

struct UrlParts {
    WideString host;
    std::uint16_t port = 0;
    bool secure = false;
    WideString path;  // the URL path ("/" when empty) followed by its query and fragment
};

// Splits an absolute http(s) URL; false for another scheme, a malformed URL or a piece
// too long (host 256, path and extra information 1024 units each, NUL included).
bool CrackUrl(const WideString& url, UrlParts& parts);

// What a caller that shows progress hears of one fetch: the body bytes received so far
// and the length the server announced (0 when it announced none). report is called on
// the thread that called HttpGet, only while HttpGet runs, with received never going
// back; it must return quickly and must not fetch.
struct FetchProgress {
    void (*report)(void* context, std::uint64_t received, std::uint64_t announced) = nullptr;
    void* context = nullptr;
};

// Why a fetch failed, or why its body is not whole (kCutShort comes with a true result).
enum class FetchCause {
    kNone,          // a whole body with status 200
    kBadUrl,        // the URL could not be split; nothing was sent
    kCallFailed,    // a WinHTTP call failed: call and error say which and why
    kStatus,        // the final status was not 200: status
    kNoConnection,  // no connection within the resolve and connect time-outs
    kSilent,        // nothing arrived within the receive time-out
    kTooSlow,       // under the progress floor
    kOverCap,       // announced or sent more than kFileLimitBytes
    kCutShort,      // the body stopped after received of announced bytes (0: none announced)
};

struct FetchFailure {
    FetchCause cause = FetchCause::kNone;
    const wchar_t* call = L"";   // kCallFailed: the WinHTTP function, e.g. L"WinHttpSendRequest"
    std::uint32_t error = 0;     // kCallFailed: its GetLastError code
    std::uint32_t status = 0;    // kStatus
    std::uint64_t received = 0;  // kCutShort
    std::uint64_t announced = 0;
};

// The cause in Dutch for a log line, e.g. "status 404", "WinHttpSendRequest gaf fout 12029
// (geen verbinding)", "afgebroken na 50 van 1000 aangekondigde bytes"; empty for kNone.
WideString FetchFailureText(const FetchFailure& failure);

// GETs url with agent "Tolbex", the system proxy, time-outs of 3/3/5/15 s, no extra
// headers and no kept-alive connection, and ends within the deadlines above. True only
// for a final status of 200; the body is then appended to body. A body that stops early
// (a failed read, fewer bytes than announced, silence after part of it) still gives true
// with what came, as the callers' hash and signature checks judge it; failure then says
// kCutShort. False (body unchanged) for every other outcome, and for a body over the cap
// (WithinFileLimit, common/file_sizes.h); failure says why.
// Redirects are followed, except from https to http. Any thread; no state kept.
// progress, when given, hears of the body as it arrives, on the calling thread.
bool HttpFetch(const WideString& url, ByteBuffer& body, FetchFailure& failure,
               const FetchProgress* progress = nullptr);

// HttpFetch for a caller that needs no cause.
bool HttpGet(const WideString& url, ByteBuffer& body, const FetchProgress* progress = nullptr);
