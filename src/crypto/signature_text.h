// The text of the manifest's signature file, read by the one rule that the installer and
// the publisher's check share (platform-free).
#pragma once

#include <cstddef>
#include <string>

#include "common/types.h"

// A signature file is 128 digits plus a little white space; a longer body is not one.
inline constexpr std::size_t kMaxSignatureFileBytes = 256;

// The raw ECDSA P-256 signature: r then s, 32 bytes each, big-endian (not DER).
inline constexpr std::size_t kRawSignatureBytes = 64;

// The signature text of a signature file's body. False when the body is empty or longer
// than kMaxSignatureFileBytes: then it is no signature file at all. Otherwise true, with
// text the body without its trailing white space; leading white space and white space
// inside stay, since SignatureBytesOf skips them. Examples:
//   "<128 digits>\r\n"      gives "<128 digits>"
//   "\n <128 digits>\n"     gives "\n <128 digits>"
//   " \r\n"                 gives "" (true; SignatureBytesOf then refuses it)
//   "<128 digits>" + 129 LF gives false (257 bytes)
bool SignatureTextOf(const ByteBuffer& body, std::string& text);

// The raw signature a signature text spells: true only when the text, white space
// anywhere ignored, is exactly 128 hex digits of either case; raw then holds the 64
// bytes. A DER signature (70 to 72 bytes once decoded) is refused by its length. raw is
// not meaningful on false.
bool SignatureBytesOf(const std::string& text, ByteBuffer& raw);
