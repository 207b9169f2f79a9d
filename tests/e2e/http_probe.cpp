// http_probe.exe: runs the installer's transport calls for the Python drivers, one line
// of output per URL, so a whole table of cases costs one Wine start.
//
//   http_probe get URL...   "<1|0> <size> <sha256>" of HttpGet into a buffer that starts
//                            as the 4 bytes "keep": the bytes must stay on false and be
//                            followed by the body on true.
//   http_probe sig URL...   the hex of FetchSignatureText's answer, "-" when empty.
#include <cstdio>
#include <cwchar>
#include <string>

#include "crypto/hex.h"
#include "crypto/sha256.h"
#include "net/http_get.h"
#include "update/signature_fetch.h"

namespace {

void PrintGet(const wchar_t* url) {
    ByteBuffer body = {'k', 'e', 'e', 'p'};
    const bool ok = HttpGet(url, body);
    std::uint8_t digest[32] = {};
    Sha256(body.data(), static_cast<std::uint32_t>(body.size()), digest);
    std::printf("%d %zu %s\n", ok ? 1 : 0, body.size(), HexLower(digest, 32).c_str());
}

void PrintSignature(const wchar_t* url) {
    const std::string text = FetchSignatureText(url);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::printf("%s\n", text.empty() ? "-" : HexLower(bytes, text.size()).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const bool get = std::wcscmp(argv[1], L"get") == 0;
    if (!get && std::wcscmp(argv[1], L"sig") != 0)
        return 2;
    for (int i = 2; i < argc; ++i) {
        get ? PrintGet(argv[i]) : PrintSignature(argv[i]);
        std::fflush(stdout);
    }
    return 0;
}
