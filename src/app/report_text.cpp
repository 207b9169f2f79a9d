// The bytes of the test report installer.txt: its four lines, single-byte, CR LF.
#include "app/report_text.h"

namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Appends text as a text-mode stream with ISO-8859-1 bytes would write it.
void AppendSingleByte(std::string& out, const WideString& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\n') {
            out += "\r\n";
        } else if (static_cast<unsigned long>(c) <= 0xFF) {
            out += static_cast<char>(static_cast<unsigned char>(c));
        } else {
            out += '?';
            if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
                ++i;
        }
    }
}

}  // namespace

std::string TestReportText(const TestReportValues& values) {
    std::string out;
    AppendSingleByte(out, L"map=");
    AppendSingleByte(out, values.map);
    AppendSingleByte(out, values.fout ? L"\nfout=ja" : L"\nfout=nee");
    AppendSingleByte(out, values.eigenMap ? L"\neigen_map=1" : L"\neigen_map=0");
    AppendSingleByte(out, values.gelukt ? L"\ngelukt=1\n" : L"\ngelukt=0\n");
    return out;
}
