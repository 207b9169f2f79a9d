// The log's own printf-style formatter, with the Windows wide-printf meanings.
#include "log/log_format.h"

#include <cstdint>
#include <type_traits>

namespace {

class Output {
  public:
    Output(wchar_t* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void Put(wchar_t c) {
        if (length_ + 1 < capacity_)
            buffer_[length_++] = c;
    }
    void Finish() {
        if (capacity_ > 0)
            buffer_[length_] = L'\0';
    }
    std::size_t length() const { return length_; }

  private:
    wchar_t* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

enum class Length { kDefault, kShort, kLong, kLongLong, kSize, k64 };

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    std::size_t width = 0;
    Length length = Length::kDefault;
};

void PutPadded(Output& out, const wchar_t* text, std::size_t count, const Conversion& conversion,
               bool numeric) {
    const std::size_t pad = conversion.width > count ? conversion.width - count : 0;
    const wchar_t fill = (conversion.zeroPad && numeric && !conversion.leftAlign) ? L'0' : L' ';
    std::size_t start = 0;
    if (fill == L'0' && count > 0 && text[0] == L'-') {  // the sign goes before the zeros
        out.Put(L'-');
        start = 1;
    }
    if (!conversion.leftAlign) {
        for (std::size_t i = 0; i < pad; ++i) out.Put(fill);
    }
    for (std::size_t i = start; i < count; ++i) out.Put(text[i]);
    if (conversion.leftAlign) {
        for (std::size_t i = 0; i < pad; ++i) out.Put(L' ');
    }
}

template <typename Char>
void PutString(Output& out, const Char* text, const Conversion& conversion) {
    static const char kNull[] = "(null)";
    wchar_t scratch[2048];
    std::size_t n = 0;
    if (text == nullptr) {
        for (const char* p = kNull; *p != '\0'; ++p) scratch[n++] = static_cast<wchar_t>(*p);
        PutPadded(out, scratch, n, conversion, false);
        return;
    }
    std::size_t count = 0;
    while (text[count] != 0) ++count;
    if (conversion.width <= count) {  // no padding: stream it without a copy
        for (std::size_t i = 0; i < count; ++i) {
            // 8-bit text widens one byte to one unit (ISO-8859-1), no decoding.
            out.Put(static_cast<wchar_t>(static_cast<std::make_unsigned_t<Char>>(text[i])));
        }
        return;
    }
    for (; n < count && n < sizeof scratch / sizeof scratch[0]; ++n) {
        scratch[n] = static_cast<wchar_t>(static_cast<std::make_unsigned_t<Char>>(text[n]));
    }
    PutPadded(out, scratch, n, conversion, false);
}

void PutNumber(Output& out, std::uint64_t magnitude, bool negative, unsigned base, bool upper,
               const Conversion& conversion) {
    wchar_t digits[32];
    std::size_t n = 0;
    do {
        const unsigned d = static_cast<unsigned>(magnitude % base);
        digits[n++] = static_cast<wchar_t>(d < 10 ? L'0' + d : (upper ? L'A' : L'a') + d - 10);
        magnitude /= base;
    } while (magnitude != 0);
    wchar_t text[34];
    std::size_t count = 0;
    if (negative)
        text[count++] = L'-';
    while (n > 0) text[count++] = digits[--n];
    PutPadded(out, text, count, conversion, true);
}

std::int64_t SignedArgument(va_list& args, Length length) {
    switch (length) {
        case Length::kLong:
            return va_arg(args, long);
        case Length::kLongLong:
        case Length::k64:
            return va_arg(args, long long);
        case Length::kSize:
            return static_cast<std::int64_t>(va_arg(args, std::ptrdiff_t));
        case Length::kShort:
            return static_cast<short>(va_arg(args, int));
        default:
            return va_arg(args, int);
    }
}

std::uint64_t UnsignedArgument(va_list& args, Length length) {
    switch (length) {
        case Length::kLong:
            return va_arg(args, unsigned long);
        case Length::kLongLong:
        case Length::k64:
            return va_arg(args, unsigned long long);
        case Length::kSize:
            return va_arg(args, std::size_t);
        case Length::kShort:
            return static_cast<unsigned short>(va_arg(args, unsigned));
        default:
            return va_arg(args, unsigned);
    }
}

// Reads flags, width and length after a '%'; returns the position of the conversion.
const wchar_t* ParseConversion(const wchar_t* p, Conversion& conversion) {
    for (;; ++p) {
        if (*p == L'-') {
            conversion.leftAlign = true;
        } else if (*p == L'0') {
            conversion.zeroPad = true;
        } else {
            break;
        }
    }
    while (*p >= L'0' && *p <= L'9')
        conversion.width = conversion.width * 10 + static_cast<std::size_t>(*p++ - L'0');
    if (p[0] == L'l' && p[1] == L'l') {
        conversion.length = Length::kLongLong;
        p += 2;
    } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
        conversion.length = Length::k64;
        p += 3;
    } else if (*p == L'l') {
        conversion.length = Length::kLong;
        ++p;
    } else if (*p == L'h') {
        conversion.length = Length::kShort;
        ++p;
    } else if (*p == L'z' || *p == L'I') {
        conversion.length = Length::kSize;
        ++p;
    }
    return p;
}

}  // namespace

std::size_t FormatWideV(wchar_t* buffer, std::size_t capacity, const wchar_t* format,
                        va_list args) {
    Output out(buffer, capacity);
    va_list ap;
    va_copy(ap, args);
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') {
            out.Put(*p);
            continue;
        }
        const wchar_t* start = p;
        Conversion conversion;
        p = ParseConversion(p + 1, conversion);
        switch (*p) {
            case L'%':
                out.Put(L'%');
                break;
            case L's':
                // Windows wide printf: %s and %ls are UTF-16, %hs is 8-bit.
                if (conversion.length == Length::kShort) {
                    PutString(out, va_arg(ap, const char*), conversion);
                } else {
                    PutString(out, va_arg(ap, const wchar_t*), conversion);
                }
                break;
            case L'S':
                // ...and %S is the opposite width: 8-bit, unless %lS asks for UTF-16.
                if (conversion.length == Length::kLong) {
                    PutString(out, va_arg(ap, const wchar_t*), conversion);
                } else {
                    PutString(out, va_arg(ap, const char*), conversion);
                }
                break;
            case L'c': {
                const wchar_t c[1] = {static_cast<wchar_t>(va_arg(ap, int))};
                PutPadded(out, c, 1, conversion, false);
                break;
            }
            case L'd':
            case L'i': {
                const std::int64_t v = SignedArgument(ap, conversion.length);
                const std::uint64_t magnitude =
                    v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
                PutNumber(out, magnitude, v < 0, 10, false, conversion);
                break;
            }
            case L'u':
                PutNumber(out, UnsignedArgument(ap, conversion.length), false, 10, false,
                          conversion);
                break;
            case L'x':
                PutNumber(out, UnsignedArgument(ap, conversion.length), false, 16, false,
                          conversion);
                break;
            case L'X':
                PutNumber(out, UnsignedArgument(ap, conversion.length), false, 16, true,
                          conversion);
                break;
            default:
                // Unknown or cut-off conversion: copy it literally, consume no argument.
                for (const wchar_t* q = start; q <= p && *q != L'\0'; ++q) out.Put(*q);
                if (*p == L'\0')
                    --p;
                break;
        }
    }
    va_end(ap);
    out.Finish();
    return out.length();
}

std::size_t FormatWide(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::size_t n = FormatWideV(buffer, capacity, format, args);
    va_end(args);
    return n;
}
