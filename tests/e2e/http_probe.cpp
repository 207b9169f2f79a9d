// http_probe.exe: runs the installer's transport calls for the Python drivers, one line
// of output per URL, so a whole table of cases costs one Wine start.
//
//   http_probe get URL...   "<1|0> <size> <sha256>" of HttpGet into a buffer that starts
//                            as the 4 bytes "keep": the bytes must stay on false and be
//                            followed by the body on true.
//   http_probe sig URL...   the hex of FetchSignatureText's answer, "-" when empty.
//   http_probe progress URL...  "<1|0> <reports> <last received> <announced> <ordered>" of
//                            HttpGet with a FetchProgress: how often it reported, what it
//                            said last, and whether every report came on this thread with
//                            received growing and never past the body.
#include <windows.h>

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

struct Reports {
    DWORD thread = GetCurrentThreadId();
    int count = 0;
    std::uint64_t received = 0;
    std::uint64_t announced = 0;
    bool ordered = true;
};

void OnReport(void* context, std::uint64_t received, std::uint64_t announced) {
    auto& reports = *static_cast<Reports*>(context);
    reports.ordered =
        reports.ordered && GetCurrentThreadId() == reports.thread && received > reports.received;
    ++reports.count;
    reports.received = received;
    reports.announced = announced;
}

void PrintProgress(const wchar_t* url) {
    Reports reports;
    const FetchProgress progress{OnReport, &reports};
    ByteBuffer body;
    const bool ok = HttpGet(url, body, &progress);
    const int after = reports.count;
    std::printf(
        "%d %d %llu %llu %d\n", ok ? 1 : 0, reports.count,
        static_cast<unsigned long long>(reports.received),
        static_cast<unsigned long long>(reports.announced),
        reports.ordered && reports.received == body.size() && after == reports.count ? 1 : 0);
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
    void (*print)(const wchar_t*) = nullptr;
    if (std::wcscmp(argv[1], L"get") == 0)
        print = PrintGet;
    else if (std::wcscmp(argv[1], L"sig") == 0)
        print = PrintSignature;
    else if (std::wcscmp(argv[1], L"progress") == 0)
        print = PrintProgress;
    else
        return 2;
    for (int i = 2; i < argc; ++i) {
        print(argv[i]);
        std::fflush(stdout);
    }
    return 0;
}
