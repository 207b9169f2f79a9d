// The signature file's GET, beside the update run's other fetches; crypto only checks
// the bytes.
#include "update/signature_fetch.h"

#include "crypto/signature_text.h"
#include "net/http_get.h"

std::string FetchSignatureText(const WideString& url) {
    ByteBuffer body;
    std::string text;
    if (!HttpGet(url, body) || !SignatureTextOf(body, text))
        return {};
    return text;
}
