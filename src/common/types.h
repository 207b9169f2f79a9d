// Shared types of the installer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The platform's UTF-16 text on Windows: every path, URL, window text and log message.
using WideString = std::wstring;

// A downloaded body or a file's contents; any byte value may occur.
using ByteBuffer = std::vector<std::uint8_t>;

// Widens 8-bit text (manifest names, hex digests) one byte to one UTF-16 unit, with no
// UTF-8 decoding: "tolbex.ini" stays "tolbex.ini", byte 0xE9 becomes U+00E9.
inline WideString WidenBytes(const std::string& text) {
    WideString wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide.push_back(static_cast<wchar_t>(c));
    return wide;
}

// The six ASCII white-space characters, as C's isspace has them in the "C" locale:
// space, tab, line feed, vertical tab, form feed and carriage return. The manifest's
// version number may follow them; signature and key texts may hold them anywhere.
inline bool IsAsciiWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// ASCII case-insensitive comparison of two whole texts; other characters must match
// exactly. Works for std::string and WideString alike.
template <typename Text>
bool EqualsAsciiNoCase(const Text& a, const Text& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<decltype(x)>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<decltype(y)>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}
