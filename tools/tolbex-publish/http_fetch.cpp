// FetchUrl on libcurl. libcurl has no receive time-out and measures its own low-speed
// limit as an average rate, so both the 15 s silence and the 1,024-bytes-in-30-s floor
// are watched here, in the progress callback, which libcurl calls about once a second
// even while nothing arrives.
#include "http_fetch.h"

#include <curl/curl.h>

#include <chrono>
#include <deque>
#include <memory>
#include <utility>

#include "common/file_sizes.h"
#include "net/http_rules.h"

namespace {

using Clock = std::chrono::steady_clock;

// The installer's rules (net/http_rules.h) in libcurl's terms.
constexpr long kConnectAndResolveMs = kResolveTimeoutMs + kConnectTimeoutMs;
constexpr auto kReceiveTimeout = std::chrono::milliseconds(kReceiveTimeoutMs);
constexpr auto kFloorWindow = std::chrono::seconds(kFloorSeconds);
constexpr long kMaxRedirects = 10;  // as many as WinHTTP follows by default

using Easy = Owned<CURL, curl_easy_cleanup>;
using HeaderList = Owned<curl_slist, curl_slist_free_all>;

// libcurl's process-wide set-up, done once before the first transfer and undone at exit.
struct CurlGlobal {
    CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    ~CurlGlobal() {
        if (code == CURLE_OK)
            curl_global_cleanup();
    }
};

struct Transfer {
    CURL* curl = nullptr;
    bool keepBytes = false;
    FetchedBody* body = nullptr;
    Sha256Stream hash;
    bool started = false;  // the first byte of the final response's body has come
    Clock::time_point lastByte;
    // (time, body bytes so far), thinned to the newest sample at or before the window.
    std::deque<std::pair<Clock::time_point, std::uint64_t>> samples;
    std::string stop;  // why this side ended the transfer
};

std::string ByteCount(std::uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->lastByte = Clock::now();
    return size * count;
}

// The status and the announced length are known once the body starts: a wrong status or
// a length over the cap ends the transfer before any of the body is taken.
bool StartBody(Transfer& t) {
    t.started = true;
    long status = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        t.stop = "status " + std::to_string(status) + ", expected 200";
        return false;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced > 0 && !WithinFileLimit(static_cast<std::uint64_t>(announced))) {
        t.stop = "announces " + ByteCount(static_cast<std::uint64_t>(announced)) +
                 ", over the cap of " + ByteCount(kFileLimitBytes);
        return false;
    }
    if (t.keepBytes && announced > 0)
        t.body->bytes.reserve(static_cast<std::size_t>(announced));
    return true;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    t.lastByte = Clock::now();
    if (!t.started && !StartBody(t))
        return 0;
    if (!WithinFileLimit(t.body->size + n)) {
        t.stop =
            "more than " + ByteCount(kFileLimitBytes) + " arrived, over the cap; stopped there";
        return 0;
    }
    Sha256Add(t.hash.get(), data, n);
    if (t.keepBytes)
        t.body->bytes.insert(t.body->bytes.end(), data, data + n);
    t.body->size += n;
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    Transfer& t = *static_cast<Transfer*>(user);
    const Clock::time_point now = Clock::now();
    if (now - t.lastByte >= kReceiveTimeout) {
        t.stop = "nothing arrived for " + std::to_string(kReceiveTimeoutMs / 1000) +
                 " s, expected data within the installer's receive time-out";
        return 1;
    }
    t.samples.emplace_back(now, t.body->size);
    while (t.samples.size() > 1 && t.samples[1].first <= now - kFloorWindow) t.samples.pop_front();
    const auto& [then, bytesThen] = t.samples.front();
    if (then <= now - kFloorWindow && t.body->size - bytesThen < kFloorBytes) {
        t.stop = std::to_string(t.body->size - bytesThen) + " bytes arrived in the last " +
                 std::to_string(kFloorSeconds) + " s, expected at least " +
                 std::to_string(kFloorBytes) + " (the installer's floor)";
        return 1;
    }
    return 0;
}

void SetOptions(CURL* curl, const std::string& url, const std::string& caFile, curl_slist* headers,
                Transfer& t) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kHttpAgent);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Like WinHTTP: an https request never continues over plain http.
    const bool secure = url.compare(0, 8, "https://") == 0;
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectAndResolveMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    if (!caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

// What a failed perform found, in words; curl's own message carries the detail.
std::string Problem(CURLcode code, const char* detail, const Transfer& t) {
    const std::string why = detail[0] != '\0' ? detail : curl_easy_strerror(code);
    switch (code) {
        case CURLE_PARTIAL_FILE:
            return "cut short after " + ByteCount(t.body->size) + ": " + why;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
            return "cannot be reached: " + why;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
            return "TLS refused: " + why;
        default:
            return "failed: " + why;
    }
}

}  // namespace

bool FetchUrl(const std::string& url, const std::string& caFile, bool keepBytes, FetchedBody& body,
              std::string& problem) {
    static CurlGlobal global;
    body = FetchedBody{};
    Easy curl(global.code == CURLE_OK ? curl_easy_init() : nullptr);
    HeaderList headers(curl_slist_append(nullptr, "Accept:"));  // the installer sends none
    if (!curl || !headers) {
        problem = "libcurl could not start a transfer";
        return false;
    }
    Transfer t;
    t.curl = curl.get();
    t.keepBytes = keepBytes;
    t.body = &body;
    t.hash = Sha256Begin();
    t.lastByte = Clock::now();
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, detail);
    SetOptions(curl.get(), url, caFile, headers.get(), t);
    const CURLcode code = curl_easy_perform(curl.get());
    if (!t.stop.empty()) {
        problem = t.stop;
        return false;
    }
    if (code != CURLE_OK) {
        problem = Problem(code, detail, t);
        return false;
    }
    if (!t.started && !StartBody(t)) {  // an empty body: the status is still to be seen
        problem = t.stop;
        return false;
    }
    body.sha256 = Sha256Finish(t.hash.get());
    return true;
}
