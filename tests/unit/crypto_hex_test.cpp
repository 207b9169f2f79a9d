// Hex text: the lowercase encoder and the decoder for signature and key texts.
#include "crypto/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HexLowerTest, WritesTwoLowercaseDigitsPerByte) {
    const std::uint8_t bytes[] = {0x00, 0xff, 0x1a, 0xA0};
    EXPECT_EQ(HexLower(bytes, 3), "00ff1a");
    EXPECT_EQ(HexLower(bytes, 4), "00ff1aa0");
    EXPECT_EQ(HexLower(bytes, 0), "");
}

struct DecodeCase {
    const char* name;
    std::string text;
    bool ok;
    ByteBuffer bytes;
};

TEST(HexDecodeTest, DecodesDigitsOfEitherCaseAndSkipsWhiteSpace) {
    const DecodeCase cases[] = {
        {"lowercase", "00ff1a", true, {0x00, 0xff, 0x1a}},
        {"uppercase", "00FF1A", true, {0x00, 0xff, 0x1a}},
        {"white space anywhere, even inside a pair",
         " 0\t0f\nf\v1\fa\r ",
         true,
         {0x00, 0xff, 0x1a}},
        {"two lines", "ab\ncd\n", true, {0xab, 0xcd}},
        {"empty", "", false, {}},
        {"only white space", " \r\n", false, {}},
        {"odd number of digits", "abc", false, {}},
        {"letter beyond f", "0g", false, {}},
        {"letter beyond f first", "g0", false, {}},
        {"strtoul sign", "+f", false, {}},
        {"strtoul minus", "-1", false, {}},
        {"0x prefix stops after the 0", "0x", false, {}},
        {"NUL inside", std::string("a\0", 2), false, {}},
        {"other white space (non-breaking space byte)", "ab\xa0", false, {}},
    };
    for (const DecodeCase& c : cases) {
        ByteBuffer bytes = {0x55};  // emptied first
        EXPECT_EQ(HexDecode(c.text, bytes), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes) << c.name;
        }
    }
}

TEST(HexDecodeTest, EmptiesTheBufferFirst) {
    ByteBuffer bytes = {1, 2, 3};
    ASSERT_TRUE(HexDecode("0a", bytes));
    EXPECT_EQ(bytes, ByteBuffer{0x0a});
}

TEST(HexDecodeTest, RoundTripsEveryByteValue) {
    ByteBuffer all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
    ByteBuffer back;
    ASSERT_TRUE(HexDecode(HexLower(all.data(), all.size()), back));
    EXPECT_EQ(back, all);
}

}  // namespace
