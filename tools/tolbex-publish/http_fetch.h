// One GET of an update server's file on libcurl, with the rules of the installer's own
// HTTP client, so that `check URL` sees a server the way a player's installer sees it.
#pragma once

#include <cstdint>
#include <string>

#include "publish_crypto.h"

struct FetchedBody {
    std::uint64_t size = 0;  // body bytes received
    Digest sha256{};         // of the whole body
    Bytes bytes;             // the body itself, only when asked for
};

// GETs url with agent "Tolbex", no Accept header, HTTP/1.1 and no compression. Name
// resolution and connect get 3 + 3 s, and the transfer fails when nothing arrives for
// 15 s or fewer than 1,024 body bytes arrived in the last 30 s. Redirects are followed
// (at most 10), except from https to http. The server certificate is checked against the
// system's CAs, or against caFile when it is not empty.
// True only for a final status of 200 and a whole body of at most kFileLimitBytes; the body
// is hashed as it arrives and kept in body.bytes when keepBytes. False with problem
// saying what was found: "status 203, expected 200", "cut short: ...", "cannot be
// reached: ...", a body over the cap (stopped as soon as it passes it), a time-out.
bool FetchUrl(const std::string& url, const std::string& caFile, bool keepBytes, FetchedBody& body,
              std::string& problem);
