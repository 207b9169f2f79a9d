// One blocking GET on WinHTTP: a fresh session, connection and request per call.
#include "net/http_get.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

#include "common/handles.h"

namespace {

constexpr wchar_t kAgent[] = L"Tolbex";
constexpr DWORD kHostUnits = 256;  // buffer sizes for WinHttpCrackUrl, NUL included
constexpr DWORD kPathUnits = 1024;
constexpr int kResolveTimeoutMs = 3000;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kSendTimeoutMs = 5000;
constexpr int kReceiveTimeoutMs = 15000;

// The system's proxy settings with auto-detection. Windows before 8.1 refuses this access
// type with ERROR_INVALID_PARAMETER; there, and only when that happens, the session falls
// back to the static default proxy configuration, which is the closest older equivalent.
HINTERNET OpenSession() {
    HINTERNET session = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return session;
    return WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
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

// Appends the body to body. Ends like the platform's loop: a failed availability query or
// read stops reading and keeps what came so far (the callers' hash and signature checks
// catch a short body). False only when the body passes kMaxBodyBytes; body is then back to
// its old size. With a Content-Length the buffer is reserved once, so it never grows by
// doubling and a large file costs about its own size in memory.
bool ReadBody(HINTERNET request, ByteBuffer& body) {
    const std::size_t start = body.size();
    std::uint64_t announced = 0;
    if (AnnouncedLength(request, announced)) {
        if (announced > kMaxBodyBytes)
            return false;
        body.reserve(start + static_cast<std::size_t>(announced));
    }
    DWORD available = 0;
    while (WinHttpQueryDataAvailable(request, &available) && available > 0) {
        const std::size_t old = body.size();
        if (old - start + available > kMaxBodyBytes) {
            body.resize(start);
            return false;
        }
        body.resize(old + available);
        DWORD read = 0;
        WinHttpReadData(request, body.data() + old, available, &read);
        body.resize(old + read);
    }
    return true;
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

bool HttpGet(const WideString& url, ByteBuffer& body) {
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
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return false;
    }
    if (StatusCode(request.get()) != 200)
        return false;
    // Handles close in reverse order of declaration: request, connection, session.
    return ReadBody(request.get(), body);
}
