// One blocking GET on WinHTTP: a fresh session, connection and request per call.
#include "net/http_get.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cwchar>

#include "common/file_sizes.h"
#include "common/handles.h"
#include "net/http_rules.h"

namespace {

constexpr DWORD kHostUnits = 256;  // buffer sizes for WinHttpCrackUrl, NUL included
constexpr DWORD kPathUnits = 1024;

// The system's proxy settings with auto-detection. Windows before 8.1 refuses this access
// type with ERROR_INVALID_PARAMETER; there, and only when that happens, the session falls
// back to the static default proxy configuration, which is the closest older equivalent.
HINTERNET OpenSession() {
    const WideString agent = WidenBytes(kHttpAgent);
    HINTERNET session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return session;
    return WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                       WINHTTP_NO_PROXY_BYPASS, 0);
}

// The final status as a number; 0 when the query fails, which then counts as "not 200".
DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

// The announced Content-Length, read as text so that a value beyond 32 bits is seen as
// such (the numeric query form is a DWORD). False when there is none (chunked, or a body
// that ends with the connection).
bool AnnouncedLength(HINTERNET request, std::uint64_t& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    wchar_t* end = nullptr;
    length = std::wcstoull(text, &end, 10);
    return end != text;
}

// The watchdog of one request. A timer-queue callback notes, once a second, how many
// body bytes have arrived so far; when the last kFloorSeconds brought fewer than
// kFloorBytes, it closes the request handle.
//
// Why a watchdog that closes the handle: the synchronous WinHttpReceiveResponse,
// WinHttpQueryDataAvailable and WinHttpReadData block in the socket, and nothing on this
// thread can interrupt them. WinHTTP's receive time-out starts again with every byte, so
// a server that drips one byte every few seconds never trips it, and Wine 8 does not
// enforce it at all. Closing the request handle is the way Windows documents to end a
// synchronous request in progress on another thread: the blocked call fails. Wine 8.0
// quirk: the blocked call is not woken; it returns with the server's next bytes, and
// every call after that fails on the closed handle (ERROR_INVALID_HANDLE), so the read
// loop ends there. Under Wine the floor therefore ends a dripping server within a second
// of the window, but not a wait on a server that has gone completely silent;
// CancelSynchronousIo on the reading thread does not end that wait either (measured).
//
// The window starts when the request is sent, so the connection, the TLS handshake and
// the wait for the status line and headers count against the floor too (only body bytes
// count as progress): a server that accepts and never answers is bounded as well, with
// the Wine exception above.
//
// Once closed by the watchdog the request must not be closed a second time: the
// destructor first deletes the timer (which waits for a running check) and then lets go
// of the owner's handle instead of closing it.
struct ProgressWatch {
    explicit ProgressWatch(WinHttpHandle& owner) : owner(owner), request(owner.get()) {}
    ~ProgressWatch() { Stop(); }
    ProgressWatch(const ProgressWatch&) = delete;
    ProgressWatch& operator=(const ProgressWatch&) = delete;

    // True when the watchdog closed the request. Only the request's own thread calls it.
    bool Stop() {
        timer.reset();
        if (tripped)
            owner.release();
        return tripped;
    }

    WinHttpHandle& owner;
    const HINTERNET request;
    std::atomic<std::uint64_t> received{0};  // body bytes so far, written by the reader
    std::uint64_t seen[kFloorSeconds] = {};  // received at each of the last ticks, a ring
    unsigned ticks = 0;
    std::atomic<bool> tripped{false};
    QueueTimer timer;
};

// At tick k the ring slot k % kFloorSeconds holds what had arrived at tick
// k - kFloorSeconds (tick 0 being the send, with 0 bytes), so the difference is exactly
// the bytes of the last kFloorSeconds.
void CALLBACK CheckProgress(void* parameter, BOOLEAN) {
    auto& watch = *static_cast<ProgressWatch*>(parameter);
    if (watch.tripped)
        return;
    const std::uint64_t now = watch.received;
    std::uint64_t& windowStart = watch.seen[++watch.ticks % kFloorSeconds];
    if (watch.ticks >= kFloorSeconds && now - windowStart < kFloorBytes) {
        watch.tripped = true;
        WinHttpCloseHandle(watch.request);
        return;
    }
    windowStart = now;
}

// A slow check only delays the next one, so the window never becomes shorter than
// kFloorSeconds. False when no timer could be made.
bool StartWatch(ProgressWatch& watch) {
    constexpr DWORD kTickMs = 1000;
    return CreateTimerQueueTimer(watch.timer.put(), nullptr, CheckProgress, &watch, kTickMs,
                                 kTickMs, WT_EXECUTEDEFAULT) != 0;
}

// Appends the body to body. Ends like the platform's loop: a failed availability query or
// read stops reading and keeps what came so far (the callers' hash and signature checks
// catch a short body). False only when the body passes kFileLimitBytes; body is then back to
// its old size. With a Content-Length the buffer is reserved once, so it never grows by
// doubling and a large file costs about its own size in memory.
bool ReadBody(HINTERNET request, ByteBuffer& body, std::atomic<std::uint64_t>& received,
              const FetchProgress* progress) {
    const std::size_t start = body.size();
    std::uint64_t announced = 0;
    if (!AnnouncedLength(request, announced))
        announced = 0;
    if (announced > 0) {
        if (announced > kFileLimitBytes)
            return false;
        body.reserve(start + static_cast<std::size_t>(announced));
    }
    DWORD available = 0;
    while (WinHttpQueryDataAvailable(request, &available) && available > 0) {
        const std::size_t old = body.size();
        if (old - start + available > kFileLimitBytes) {
            body.resize(start);
            return false;
        }
        body.resize(old + available);
        DWORD read = 0;
        WinHttpReadData(request, body.data() + old, available, &read);
        body.resize(old + read);
        received += read;
        if (progress != nullptr && progress->report != nullptr)
            progress->report(progress->context, received, announced);
    }
    return true;
}

// The request's own part: send it, take the response, insist on 200, read the body.
bool Exchange(HINTERNET request, ByteBuffer& body, std::atomic<std::uint64_t>& received,
              const FetchProgress* progress) {
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            0, 0) ||
        !WinHttpReceiveResponse(request, nullptr)) {
        return false;
    }
    if (StatusCode(request) != 200)
        return false;
    return ReadBody(request, body, received, progress);
}

}  // namespace

bool CrackUrl(const WideString& url, UrlParts& parts) {
    wchar_t host[kHostUnits] = {};
    wchar_t path[kPathUnits] = {};
    wchar_t extra[kPathUnits] = {};
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof components;
    components.lpszHostName = host;
    components.dwHostNameLength = kHostUnits;
    components.lpszUrlPath = path;
    components.dwUrlPathLength = kPathUnits;
    components.lpszExtraInfo = extra;
    components.dwExtraInfoLength = kPathUnits;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components))
        return false;
    parts.host = host;
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    parts.path = path[0] != L'\0' ? path : L"/";
    parts.path += extra;
    return true;
}

bool HttpGet(const WideString& url, ByteBuffer& body, const FetchProgress* progress) {
    UrlParts parts;
    if (!CrackUrl(url, parts))
        return false;
    WinHttpHandle session(OpenSession());
    if (!session)
        return false;
    WinHttpSetTimeouts(session.get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs,
                       kReceiveTimeoutMs);
    WinHttpHandle connection(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
    if (!connection)
        return false;
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", parts.path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return false;
    ProgressWatch watch(request);
    if (!StartWatch(watch))
        return false;
    const std::size_t start = body.size();
    const bool fetched = Exchange(request.get(), body, watch.received, progress);
    if (watch.Stop()) {
        body.resize(start);
        return false;
    }
    // Handles close in reverse order of declaration: request, connection, session.
    return fetched;
}
