// URL splitting on WinHTTP under Wine, and URLs that HttpGet refuses before any traffic.
#include "net/http_get.h"

#include <gtest/gtest.h>

namespace {

struct CrackCase {
    const wchar_t* url;
    const wchar_t* host;
    std::uint16_t port;
    bool secure;
    const wchar_t* path;
};

TEST(CrackUrlTest, SplitsHostPortSchemeAndPathWithQuery) {
    const CrackCase cases[] = {
        {L"https://localhost:39705/update/manifest.json", L"localhost", 39705, true,
         L"/update/manifest.json"},
        {L"http://localhost:39706/update/manifest.sig", L"localhost", 39706, false,
         L"/update/manifest.sig"},
        {L"https://example.test/a", L"example.test", 443, true, L"/a"},
        {L"http://example.test", L"example.test", 80, false, L"/"},
        {L"http://example.test/a%20b/c?x=1%2F&y#frag", L"example.test", 80, false,
         L"/a%20b/c?x=1%2F&y#frag"},
        {L"HTTPS://Example.TEST:8443/?q", L"Example.TEST", 8443, true, L"/?q"},
    };
    for (const CrackCase& c : cases) {
        UrlParts parts;
        ASSERT_TRUE(CrackUrl(c.url, parts)) << c.url;
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.secure, c.secure) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
}

// Host 256 and path 1024 units, NUL included: 255 and 1023 characters still fit.
TEST(CrackUrlTest, RefusesOtherSchemesMalformedUrlsAndLongPieces) {
    const WideString host255(255, L'h');
    const WideString path1023 = L"/" + WideString(1022, L'p');
    UrlParts parts;
    EXPECT_TRUE(CrackUrl(L"http://" + host255 + L"/", parts));
    EXPECT_TRUE(CrackUrl(L"http://h" + path1023, parts));
    const WideString refused[] = {
        L"ftp://localhost/x",
        L"file:///C:/x",
        L"localhost/update",
        L"",
        L"http://" + host255 + L"h/",
        L"http://h" + path1023 + L"p",
        L"http://h/?" + WideString(1023, L'q'),
    };
    for (const WideString& url : refused) {
        EXPECT_FALSE(CrackUrl(url, parts)) << url.substr(0, 40);
        ByteBuffer body = {'k'};
        EXPECT_FALSE(HttpGet(url, body)) << url.substr(0, 40);
        EXPECT_EQ(body, ByteBuffer{'k'});
    }
}

}  // namespace
