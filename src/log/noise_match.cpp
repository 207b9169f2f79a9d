// The noise filter's decision (platform-free): the suppressed and the repeat prefixes.
#include "log/noise_match.h"

#include <cwchar>
#include <iterator>
#include <type_traits>

namespace {

// Prefixes of lines the modification's own components log in bulk; none of the
// installer's formats begins with one, so its own lines always pass.
const wchar_t* const kSuppressedPrefixes[] = {
    L"[JITTER]",         L"[CLOCK]",
    L"[RIG-DELAY]",      L"[COMPENSATION]",
    L"[ATTITUDE]",       L"[ARRIVAL]",
    L"[kaarticoon]",     L"[meting]",
    L"[naambord] check", L"[naambord] matrix",
    L"[loper] je loopt", L"[verkeer] build",
    L"[spawn] verslag",  L"[wereld] van de server",
};

// Prefixes whose lines are dropped only when they repeat the previous one of the same
// prefix; index i pairs with LogState::lastRepeatLines[i].
const wchar_t* const kRepeatPrefixes[] = {
    L"[regels] van de server",
    L"[kaartspelers] vrienden online",
};
static_assert(std::size(kRepeatPrefixes) == std::extent_v<decltype(LogState::lastRepeatLines)>,
              "one last line per repeat prefix");

// Code unit by code unit, case-sensitive; a message shorter than the prefix never matches.
bool BeginsWith(const wchar_t* message, const wchar_t* prefix) {
    return std::wcsncmp(message, prefix, std::wcslen(prefix)) == 0;
}

}  // namespace

bool IsNoiseMessage(LogState& state, const wchar_t* message) {
    if (state.diagnose != 0)
        return false;
    for (const wchar_t* prefix : kSuppressedPrefixes) {
        if (BeginsWith(message, prefix))
            return true;
    }
    for (std::size_t i = 0; i < std::size(kRepeatPrefixes); ++i) {
        if (!BeginsWith(message, kRepeatPrefixes[i]))
            continue;
        if (state.lastRepeatLines[i] == message)
            return true;
        state.lastRepeatLines[i] = message;
    }
    return false;
}
