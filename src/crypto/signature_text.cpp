// The signature file's text and the raw signature it spells.
#include "crypto/signature_text.h"

#include "crypto/hex.h"

bool SignatureTextOf(const ByteBuffer& body, std::string& text) {
    text.clear();
    if (body.empty() || body.size() > kMaxSignatureFileBytes)
        return false;
    text.assign(body.begin(), body.end());
    while (!text.empty() && IsAsciiWhiteSpace(text.back())) text.pop_back();
    return true;
}

bool SignatureBytesOf(const std::string& text, ByteBuffer& raw) {
    return HexDecode(text, raw) && raw.size() == kRawSignatureBytes;
}
