// The signature file's GET, beside the update run's other fetches; crypto only checks
// the bytes.
#include "update/signature_fetch.h"

#include "crypto/signature_text.h"
#include "net/http_get.h"

std::string FetchSignatureText(const WideString& url, FetchFailure& failure) {
    ByteBuffer body;
    std::string text;
    if (!HttpFetch(url, body, failure) || !SignatureTextOf(body, text))
        return {};
    return text;
}

std::string FetchSignatureText(const WideString& url) {
    FetchFailure failure;
    return FetchSignatureText(url, failure);
}
