// The install-time baseline: the least a program must do to install a release, with
// the same platform calls as the installer and nothing else: one WinHTTP GET per file,
// each on a connection of its own (body read straight into a buffer of the announced
// length), one BCrypt SHA-256 over it, one write. The bench passes it every name the
// installer fetches, the manifest and its signature included, but nothing is parsed or
// verified beyond the hash being computed.
//   install_floor.exe [--plain] BASE_URL FOLDER NAME...
// By default each file is written the durable way the installer writes: under a
// temporary name, flushed to disk, closed, then renamed over its name. --plain writes
// each file straight under its name with no flush, the cheapest write there is.
#include <windows.h>
#include <bcrypt.h>
#include <winhttp.h>

#include <string>
#include <vector>

namespace {

bool Get(const std::wstring& url, std::vector<unsigned char>& body) {
    URL_COMPONENTS parts = {};
    wchar_t host[256], path[1024];
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts))
        return false;
    HINTERNET session = WinHttpOpen(L"floor", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    HINTERNET connection = WinHttpConnect(session, host, parts.nPort, 0);
    HINTERNET request =
        WinHttpOpenRequest(connection, L"GET", path, nullptr, nullptr, nullptr,
                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    // A connection of its own for each GET, as the installer fetches: Wine pools
    // connections across sessions, and a pooled one the server has closed fails the next
    // request (and would spare the floor the handshakes the installer makes).
    DWORD noKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noKeepAlive, sizeof noKeepAlive);
    bool ok = WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr);
    DWORD length = 0, size = sizeof length;
    if (ok && WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                  nullptr, &length, &size, nullptr)) {
        body.reserve(length);
    }
    for (DWORD available = 0;
         ok && WinHttpQueryDataAvailable(request, &available) && available > 0;) {
        const std::size_t old = body.size();
        body.resize(old + available);
        DWORD read = 0;
        WinHttpReadData(request, body.data() + old, available, &read);
        body.resize(old + read);
    }
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return ok;
}

bool Hash(const std::vector<unsigned char>& data, unsigned char digest[32]) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
              BCryptHashData(hash, const_cast<unsigned char*>(data.data()),
                             static_cast<ULONG>(data.size()), 0) == 0 &&
              BCryptFinishHash(hash, digest, 32, 0) == 0;
    if (hash)
        BCryptDestroyHash(hash);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}

bool Write(const std::wstring& path, const std::vector<unsigned char>& data, bool durable) {
    const std::wstring written_as = durable ? path + L".tijdelijk" : path;
    HANDLE file =
        CreateFileW(written_as.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size();
    if (durable)
        ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    if (durable)
        ok = ok && MoveFileExW(written_as.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool durable = !(argc > 1 && std::wstring(argv[1]) == L"--plain");
    if (!durable) {
        ++argv;
        --argc;
    }
    if (argc < 4)
        return 2;
    CreateDirectoryW(argv[2], nullptr);
    for (int i = 3; i < argc; ++i) {
        std::vector<unsigned char> body;
        unsigned char digest[32];
        if (!Get(std::wstring(argv[1]) + L"/update/" + argv[i], body) || !Hash(body, digest) ||
            !Write(std::wstring(argv[2]) + L"\\" + argv[i], body, durable)) {
            return 1;
        }
    }
    return 0;
}
