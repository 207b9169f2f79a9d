#include "log/noise_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Feeds messages through one filter state and returns which ones passed.
std::vector<std::wstring> Passed(LogState& state, const std::vector<std::wstring>& messages) {
    std::vector<std::wstring> out;
    for (const auto& m : messages) {
        if (!IsNoiseMessage(state, m.c_str()))
            out.push_back(m);
    }
    return out;
}

TEST(NoiseMatch, SuppressedPrefixesAreCaseSensitiveAndWholePrefixesOnly) {
    LogState state;
    state.diagnose = 0;
    struct {
        const wchar_t* message;
        bool noise;
    } cases[] = {
        {L"[CLOCK] offset 3 ms", true},
        {L"[CLOCK]", true},
        {L"[clock] offset", false},
        {L"[CLOCK", false},
        {L"[JITTER]x", true},
        {L"[RIG-DELAY]", true},
        {L"[COMPENSATION] 1", true},
        {L"[ATTITUDE] 1", true},
        {L"[ARRIVAL] 1", true},
        {L"[kaarticoon] 1", true},
        {L"[meting] 1", true},
        {L"[naambord] checkpoint", true},
        {L"[naambord] matrix 3", true},
        {L"[naambord] kleur", false},
        {L"[loper] je loopt", true},
        {L"[verkeer] build 1", true},
        {L"[spawn] verslag", true},
        {L"[wereld] van de server: x", true},
        {L"[installer] klaar in C:\\Tolbex", false},
        {L"Update GEWEIGERD: handtekening van het manifest ontbreekt of klopt niet", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsNoiseMessage(state, c.message), c.noise) << c.message;
}

TEST(NoiseMatch, RepeatMemoryIsPerPrefixAndIgnoresOtherMessages) {
    const std::wstring a = L"[regels] van de server: 10 regels";
    const std::wstring b = L"[regels] van de server: 11 regels";
    const std::wstring f = L"[kaartspelers] vrienden online: 2";
    const std::wstring x = L"[installer] iets anders";

    LogState twice;
    twice.diagnose = 0;
    EXPECT_EQ(Passed(twice, {a, a}), (std::vector<std::wstring>{a}));

    LogState axa;
    axa.diagnose = 0;
    EXPECT_EQ(Passed(axa, {a, x, a}), (std::vector<std::wstring>{a, x}));

    LogState aba;
    aba.diagnose = 0;
    EXPECT_EQ(Passed(aba, {a, b, a}), (std::vector<std::wstring>{a, b, a}));

    LogState perPrefix;
    perPrefix.diagnose = 0;
    EXPECT_EQ(Passed(perPrefix, {a, f, a, f}), (std::vector<std::wstring>{a, f}));
}

TEST(NoiseMatch, DiagnosticsPassEverythingAndRecordNothing) {
    LogState state;
    state.diagnose = 1;
    const std::wstring a = L"[regels] van de server: 10 regels";
    EXPECT_EQ(Passed(state, {L"[CLOCK] x", a, a}), (std::vector<std::wstring>{L"[CLOCK] x", a, a}));
    EXPECT_TRUE(state.lastRepeatLines[0].empty());
}

}  // namespace
