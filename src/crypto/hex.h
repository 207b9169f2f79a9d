// Hex text (platform-free).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/types.h"

// Lowercase hex of count bytes: 00 ff 1a gives "00ff1a".
std::string HexLower(const std::uint8_t* bytes, std::size_t count);

// Decodes hex text, ignoring white space anywhere (space, tab, LF, VT, FF, CR). False
// for an empty or odd-length remainder or a non-hex digit; bytes is emptied first and
// is not meaningful on false.
bool HexDecode(const std::string& text, ByteBuffer& bytes);
