// One GET on WinHTTP's synchronous calls, run on a helper thread that the caller waits for
// with deadlines and gives up when one passes (the design is in the header).
#include "net/http_get.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cwchar>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

#include "common/file_sizes.h"
#include "common/handles.h"
#include "net/http_rules.h"

namespace {

constexpr DWORD kHostUnits = 256;  // buffer sizes for WinHttpCrackUrl, NUL included
constexpr DWORD kPathUnits = 1024;
constexpr DWORD kPollMs = 100;           // how often the caller looks at the helper
constexpr DWORD kChunkBytes = 1u << 20;  // the most one read takes in
constexpr ULONGLONG kFloorWindowMs = kFloorSeconds * 1000ull;

// How far the helper has come; the caller's deadline depends on it.
enum class Stage { kConnecting, kConnected, kBody };

// The one thing the caller and its helper thread share, kept alive by both (shared_ptr):
// whichever lets go last frees it, so a helper given up may still finish safely.
struct FetchRecord {
    UrlParts parts;
    KernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<Stage> stage{Stage::kConnecting};
    std::atomic<ULONGLONG> lastSign{GetTickCount64()};  // the last sign of life, ms
    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> announced{0};

    std::mutex lock;  // guards the four below
    bool abandoned = false;
    bool fetched = false;
    ByteBuffer body;
    FetchFailure failure;
};

void NoteSign(FetchRecord& record) {
    record.lastSign = GetTickCount64();
}

bool CallFailed(FetchFailure& failure, const wchar_t* call) {
    failure.cause = FetchCause::kCallFailed;
    failure.call = call;
    failure.error = GetLastError();
    return false;
}

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
// such (the numeric query form is a DWORD). 0 when there is none (chunked, or a body that
// ends with the connection).
std::uint64_t AnnouncedLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    return std::wcstoull(text, nullptr, 10);
}

// The connection standing is the end of the first stage. Called on the helper thread,
// inside WinHttpSendRequest, with the record as the request's context value.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
    auto* record = reinterpret_cast<FetchRecord*>(context);
    if (record == nullptr || status != WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER)
        return;
    record->stage = Stage::kConnected;
    NoteSign(*record);
}

// Appends one read to the record's body, unless the caller has given up. False when the
// reading should stop (given up, or over the cap).
bool TakeChunk(FetchRecord& record, const std::uint8_t* data, DWORD count) {
    std::lock_guard<std::mutex> hold(record.lock);
    if (record.abandoned)
        return false;
    if (!WithinFileLimit(record.body.size() + std::uint64_t{count})) {
        record.failure.cause = FetchCause::kOverCap;
        return false;
    }
    record.body.insert(record.body.end(), data, data + count);
    record.received = record.body.size();
    return true;
}

// The body after a 200, read as the platform reads it: a failed availability query or
// read stops reading and keeps what came so far; fewer bytes than announced count as cut
// short. False only over the cap or when given up. The reads go through a chunk of the
// helper's own, so the caller may take the body at any moment under the lock.
bool ReadBody(HINTERNET request, FetchRecord& record, FetchFailure& failure) {
    const std::uint64_t announced = AnnouncedLength(request);
    record.announced = announced;
    if (!WithinFileLimit(announced)) {
        failure.cause = FetchCause::kOverCap;
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(record.lock);
        record.body.reserve(static_cast<std::size_t>(announced));
    }
    ByteBuffer chunk;
    DWORD available = 0;
    bool whole = true;
    for (;;) {
        if (!WinHttpQueryDataAvailable(request, &available)) {
            whole = false;
            break;
        }
        if (available == 0)
            break;
        chunk.resize(available < kChunkBytes ? available : kChunkBytes);
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), static_cast<DWORD>(chunk.size()), &read) ||
            read == 0) {
            whole = false;
            break;
        }
        NoteSign(record);
        if (!TakeChunk(record, chunk.data(), read)) {
            std::lock_guard<std::mutex> hold(record.lock);
            if (record.failure.cause == FetchCause::kOverCap)
                failure.cause = FetchCause::kOverCap;
            return false;
        }
    }
    const std::uint64_t received = record.received;
    if (!whole || (announced > 0 && received < announced)) {
        failure.cause = FetchCause::kCutShort;
        failure.received = received;
        failure.announced = announced;
    }
    return true;
}

// The request's own part: no kept-alive connection, send, take the response, insist on
// 200, read the body.
bool Exchange(HINTERNET request, FetchRecord& record, FetchFailure& failure) {
    DWORD noKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noKeepAlive, sizeof noKeepAlive);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&record);
    WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            0, context)) {
        return CallFailed(failure, L"WinHttpSendRequest");
    }
    record.stage = Stage::kConnected;
    NoteSign(record);
    if (!WinHttpReceiveResponse(request, nullptr))
        return CallFailed(failure, L"WinHttpReceiveResponse");
    NoteSign(record);
    const DWORD status = StatusCode(request);
    if (status != 200) {
        failure.cause = FetchCause::kStatus;
        failure.status = status;
        return false;
    }
    record.stage = Stage::kBody;
    return ReadBody(request, record, failure);
}

// The whole fetch on the helper thread; every handle is opened and closed here.
bool Fetch(FetchRecord& record, FetchFailure& failure) {
    WinHttpHandle session(OpenSession());
    if (!session)
        return CallFailed(failure, L"WinHttpOpen");
    WinHttpSetTimeouts(session.get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs,
                       kReceiveTimeoutMs);
    WinHttpSetStatusCallback(session.get(), OnStatus, WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER, 0);
    const UrlParts& parts = record.parts;
    WinHttpHandle connection(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
    if (!connection)
        return CallFailed(failure, L"WinHttpConnect");
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", parts.path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return CallFailed(failure, L"WinHttpOpenRequest");
    // Handles close in reverse order of declaration: request, connection, session.
    return Exchange(request.get(), record, failure);
}

// The helper thread: owns one reference to the record, given as a heap-held shared_ptr.
DWORD WINAPI FetchThread(void* parameter) {
    const std::unique_ptr<std::shared_ptr<FetchRecord>> share(
        static_cast<std::shared_ptr<FetchRecord>*>(parameter));
    FetchRecord& record = **share;
    FetchFailure failure;
    const bool fetched = Fetch(record, failure);
    {
        std::lock_guard<std::mutex> hold(record.lock);
        if (!record.abandoned) {
            record.fetched = fetched;
            record.failure = failure;
            if (!fetched)
                record.body.clear();
        }
    }
    SetEvent(record.done.get());
    return 0;
}

// Starts the helper with its own share of the record; its handle is closed at once, so
// nothing ever waits for it.
bool StartHelper(const std::shared_ptr<FetchRecord>& record) {
    auto* share = new std::shared_ptr<FetchRecord>(record);
    KernelHandle thread(CreateThread(nullptr, 0, FetchThread, share, 0, nullptr));
    if (!thread) {
        delete share;
        return false;
    }
    return true;
}

// The progress floor, from the caller's samples of the body bytes: fewer than kFloorBytes
// in the last kFloorSeconds, counted from the start.
class FloorWatch {
  public:
    explicit FloorWatch(ULONGLONG start) { samples_.emplace_back(start, 0); }

    bool Below(ULONGLONG now, std::uint64_t received) {
        samples_.emplace_back(now, received);
        while (samples_.size() > 1 && samples_[1].first + kFloorWindowMs <= now)
            samples_.pop_front();
        const auto& [then, bytesThen] = samples_.front();
        return then + kFloorWindowMs <= now && received - bytesThen < kFloorBytes;
    }

  private:
    std::deque<std::pair<ULONGLONG, std::uint64_t>> samples_;
};

// Whether a deadline has passed, and which; kNone while the helper may go on.
FetchCause PassedDeadline(const FetchRecord& record, ULONGLONG start, ULONGLONG now,
                          FloorWatch& floor) {
    const Stage stage = record.stage;
    if (stage == Stage::kConnecting &&
        now - start > ULONGLONG{kResolveTimeoutMs + kConnectTimeoutMs + kDeadlineSlackMs}) {
        return FetchCause::kNoConnection;
    }
    if (now - record.lastSign > ULONGLONG{kReceiveTimeoutMs + kDeadlineSlackMs})
        return stage == Stage::kBody ? FetchCause::kCutShort : FetchCause::kSilent;
    if (floor.Below(now, record.received))
        return FetchCause::kTooSlow;
    return FetchCause::kNone;
}

// Gives the helper up: from now on it only closes its handles. Silence in the body keeps
// what came, as a failed read would; every other deadline fails the fetch. Returns the
// helper's own outcome instead when it finished just now.
bool GiveUp(FetchRecord& record, FetchCause cause, ByteBuffer& taken, FetchFailure& failure) {
    std::lock_guard<std::mutex> hold(record.lock);
    if (WaitForSingleObject(record.done.get(), 0) == WAIT_OBJECT_0 || record.fetched ||
        record.failure.cause != FetchCause::kNone) {
        failure = record.failure;
        taken.swap(record.body);
        return record.fetched;
    }
    record.abandoned = true;
    failure = FetchFailure{};
    failure.cause = cause;
    if (cause != FetchCause::kCutShort)
        return false;
    taken.swap(record.body);
    failure.received = taken.size();
    failure.announced = record.announced;
    return true;
}

// Waits for the helper on the calling thread, reporting progress, until it is done or a
// deadline passes.
bool AwaitHelper(FetchRecord& record, ULONGLONG start, ByteBuffer& taken, FetchFailure& failure,
                 const FetchProgress* progress) {
    FloorWatch floor(start);
    std::uint64_t reported = 0;
    for (;;) {
        const bool done = WaitForSingleObject(record.done.get(), kPollMs) == WAIT_OBJECT_0;
        const std::uint64_t received = record.received;
        if (progress != nullptr && progress->report != nullptr && received > reported) {
            reported = received;
            progress->report(progress->context, received, record.announced);
        }
        if (done) {
            std::lock_guard<std::mutex> hold(record.lock);
            failure = record.failure;
            taken.swap(record.body);
            return record.fetched;
        }
        const FetchCause passed = PassedDeadline(record, start, GetTickCount64(), floor);
        if (passed != FetchCause::kNone)
            return GiveUp(record, passed, taken, failure);
    }
}

void AppendBody(ByteBuffer& body, ByteBuffer& taken) {
    if (body.empty())
        body.swap(taken);
    else
        body.insert(body.end(), taken.begin(), taken.end());
}

WideString Number(std::uint64_t value) {
    return std::to_wstring(value);
}

// The names of the errors a player's log will show most.
const wchar_t* ErrorName(std::uint32_t error) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
            return L" (time-out)";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return L" (servernaam onbekend)";
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return L" (geen verbinding)";
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case WSAECONNRESET:  // Wine hands on the socket's own code
            return L" (verbinding verbroken)";
        case ERROR_WINHTTP_SECURE_FAILURE:
            return L" (certificaat geweigerd)";
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
            return L" (TLS-verbinding mislukt)";
        case ERROR_WINHTTP_REDIRECT_FAILED:
            return L" (omleiding geweigerd)";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return L" (ongeldig antwoord)";
        default:
            return L"";
    }
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

WideString FetchFailureText(const FetchFailure& failure) {
    switch (failure.cause) {
        case FetchCause::kNone:
            return {};
        case FetchCause::kBadUrl:
            return L"ongeldige URL";
        case FetchCause::kCallFailed:
            return WideString(failure.call) + L" gaf fout " + Number(failure.error) +
                   ErrorName(failure.error);
        case FetchCause::kStatus:
            return L"status " + Number(failure.status);
        case FetchCause::kNoConnection:
            return L"geen verbinding binnen " +
                   Number((kResolveTimeoutMs + kConnectTimeoutMs) / 1000) + L" s";
        case FetchCause::kSilent:
            return L"geen antwoord binnen " + Number(kReceiveTimeoutMs / 1000) + L" s";
        case FetchCause::kTooSlow:
            return L"te traag: minder dan " + Number(kFloorBytes) + L" bytes in " +
                   Number(kFloorSeconds) + L" s";
        case FetchCause::kOverCap:
            return L"groter dan " + Number(kFileLimitBytes) + L" bytes";
        case FetchCause::kCutShort:
            if (failure.announced == 0)
                return L"afgebroken na " + Number(failure.received) + L" bytes";
            return L"afgebroken na " + Number(failure.received) + L" van " +
                   Number(failure.announced) + L" aangekondigde bytes";
    }
    return {};
}

bool HttpFetch(const WideString& url, ByteBuffer& body, FetchFailure& failure,
               const FetchProgress* progress) {
    failure = FetchFailure{};
    auto record = std::make_shared<FetchRecord>();
    if (!CrackUrl(url, record->parts)) {
        failure.cause = FetchCause::kBadUrl;
        return false;
    }
    if (!record->done)
        return CallFailed(failure, L"CreateEventW");
    const ULONGLONG start = GetTickCount64();
    record->lastSign = start;
    if (!StartHelper(record))
        return CallFailed(failure, L"CreateThread");
    ByteBuffer taken;
    const bool fetched = AwaitHelper(*record, start, taken, failure, progress);
    if (fetched)
        AppendBody(body, taken);
    return fetched;
}

bool HttpGet(const WideString& url, ByteBuffer& body, const FetchProgress* progress) {
    FetchFailure failure;
    return HttpFetch(url, body, failure, progress);
}
