// Hex text: the lowercase form of digests, and the decoder for signature and key texts.
#include "crypto/hex.h"

#include <cstdlib>

namespace {

constexpr char kDigits[] = "0123456789abcdef";

std::string WithoutWhiteSpace(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (!IsAsciiWhiteSpace(c))
            kept.push_back(c);
    }
    return kept;
}

}  // namespace

std::string HexLower(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
    return text;
}

// Each pair is converted by strtoul on its own and must be consumed whole: "1g" stops
// after one character and fails. strtoul also takes a leading sign, so "+f" and "-1"
// would be consumed whole (as 0x0f and, wrapped, 0xff); a sign is not a hex digit, and
// such a pair is refused, so exactly one text spells each byte sequence (up to case).
bool HexDecode(const std::string& text, ByteBuffer& bytes) {
    bytes.clear();
    const std::string digits = WithoutWhiteSpace(text);
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const char pair[3] = {digits[i], digits[i + 1], '\0'};
        char* end = nullptr;
        const unsigned long value = std::strtoul(pair, &end, 16);
        if (end != pair + 2 || pair[0] == '+' || pair[0] == '-')
            return false;
        bytes.push_back(static_cast<std::uint8_t>(value & 0xff));
    }
    return true;
}
