// libFuzzer target over the signature file's text and the hex decoder under it. The
// body is whatever a server sends as manifest.sig, so every byte sequence must be read
// without a fault, and exactly the bodies of 1 to 256 bytes whose text is 128 hex digits
// (white space anywhere aside) may come out as a signature, the one those digits spell.
#include <cctype>
#include <cstdint>
#include <string>

#include "crypto/hex.h"
#include "crypto/signature_text.h"
#include "fuzz_require.h"

namespace {

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The hex digits of a text in lowercase, and whether anything but digits and white
// space stands in it.
std::string LowerDigitsOf(const std::string& text, bool& foreign) {
    std::string digits;
    foreign = false;
    for (char c : text) {
        if (IsHexDigit(c))
            digits.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        else if (!IsAsciiWhiteSpace(c))
            foreign = true;
    }
    return digits;
}

void CheckHexDecode(const std::string& text) {
    bool foreign = false;
    const std::string digits = LowerDigitsOf(text, foreign);
    ByteBuffer bytes = {0x55};
    const bool decoded = HexDecode(text, bytes);
    REQUIRE(decoded == (!foreign && !digits.empty() && digits.size() % 2 == 0));
    if (decoded)
        REQUIRE(HexLower(bytes.data(), bytes.size()) == digits);

    // Any bytes at all survive the way there and back.
    const ByteBuffer raw(text.begin(), text.end());
    ByteBuffer back;
    const std::string hex = HexLower(raw.data(), raw.size());
    REQUIRE(hex.size() == 2 * raw.size());
    REQUIRE(HexDecode(hex, back) == !raw.empty());
    REQUIRE(back == raw || raw.empty());
}

void CheckSignatureText(const ByteBuffer& body) {
    std::string text = "stale";
    const bool sized = SignatureTextOf(body, text);
    REQUIRE(sized == (!body.empty() && body.size() <= kMaxSignatureFileBytes));
    if (!sized) {
        REQUIRE(text.empty());
        return;
    }
    // The text is the body up to its trailing white space, and only that is cut.
    const std::string whole(body.begin(), body.end());
    REQUIRE(whole.compare(0, text.size(), text) == 0);
    for (std::size_t i = text.size(); i < whole.size(); ++i) REQUIRE(IsAsciiWhiteSpace(whole[i]));
    REQUIRE(text.empty() || !IsAsciiWhiteSpace(text.back()));

    bool foreign = false;
    const std::string digits = LowerDigitsOf(text, foreign);
    ByteBuffer raw;
    const bool accepted = SignatureBytesOf(text, raw);
    REQUIRE(accepted == (!foreign && digits.size() == 2 * kRawSignatureBytes));
    if (accepted)
        REQUIRE(raw.size() == kRawSignatureBytes && HexLower(raw.data(), raw.size()) == digits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteBuffer body(data, data + size);
    CheckSignatureText(body);
    CheckHexDecode(std::string(body.begin(), body.end()));
    return 0;
}
