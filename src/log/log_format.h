// printf-style formatting with the Windows wide-printf meanings, independent of the C
// library. MinGW's C99 printf reads %s in a wide format as 8-bit text; the installer's
// callers rely on the Windows meanings instead, so the log formats with its own code:
//   %s  UTF-16 text (const wchar_t*)        %S  8-bit text (const char*)
//   %ls UTF-16 text, %hs 8-bit text          %c  one wchar_t
//   %d %i %u %x %X with h, l, ll, z, I64 length prefixes (%lu: unsigned long, the
//   Windows DWORD; %zu: size_t), a '0' or '-' flag and a field width
//   %%  a percent sign
// Any other conversion is copied as it stands. A null string prints as "(null)".
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into buffer (capacity units, NUL included) and returns the number of units
// written before the NUL. Output that does not fit is cut at capacity - 1 units; the
// result is always NUL-terminated when capacity > 0.
std::size_t FormatWideV(wchar_t* buffer, std::size_t capacity, const wchar_t* format, va_list args);
std::size_t FormatWide(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...);
