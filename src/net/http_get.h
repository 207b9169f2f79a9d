// The installer's only network operation: one blocking HTTP(S) GET on WinHTTP.
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

// GETs url with agent "Tolbex", the system proxy, time-outs of 3/3/5/15 s and no extra
// headers. True only for a final status of 200; the body is then appended to body.
// False (body unchanged) for every other outcome, and for a body over kFileLimitBytes
// (common/file_sizes.h): no file of a release is that large.
// Redirects are followed, except from https to http. Any thread; no state kept.
// progress, when given, hears of the body as it arrives.
bool HttpGet(const WideString& url, ByteBuffer& body, const FetchProgress* progress = nullptr);
