// trust-ca.exe CERT.der: adds one DER-encoded certificate to the system ROOT store of the
// current Wine prefix, so that WinHTTP accepts server certificates it issued. The tests
// run it once per prefix for their own throw-away CA; it is never run on a real system.
//
// CertAddEncodedCertificateToSystemStoreW opens and closes the store itself; Wine keeps
// that store in the prefix's registry, and its WinHTTP consults it when checking chains.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: trust-ca.exe CERT.der\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> der(std::istreambuf_iterator<char>(in), {});
    if (der.empty()) {
        std::fputs("trust-ca: the certificate file is missing or empty\n", stderr);
        return 1;
    }
    if (!CertAddEncodedCertificateToSystemStoreW(L"ROOT", der.data(),
                                                 static_cast<DWORD>(der.size()))) {
        std::fprintf(stderr, "trust-ca: adding to ROOT failed, error %lu\n", GetLastError());
        return 1;
    }
    return 0;
}
