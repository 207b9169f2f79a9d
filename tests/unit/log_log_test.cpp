// LogLine and AppDataDir under Wine. The lines are read through the log's optional
// stream; the debugger channel itself is checked end to end by log_channel_test.py.
#include "log/log.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "common/handles.h"

namespace {

// The messages that reached the stream, without their "[hh:mm:ss.mmm] " stamps.
std::vector<std::wstring> StreamLines(const std::wostringstream& stream) {
    std::vector<std::wstring> lines;
    std::wistringstream in(stream.str());
    for (std::wstring line; std::getline(in, line);) {
        EXPECT_GE(line.size(), 15u);
        EXPECT_EQ(line[0], L'[');
        EXPECT_EQ(line.substr(13, 2), L"] ");
        lines.push_back(line.substr(15));
    }
    return lines;
}

class LogLineTest : public testing::Test {
  protected:
    void SetUp() override {
        // No config.ini in the prefix's data folder: the filter is active.
        AttachLogStream(&stream_);
    }
    void TearDown() override { AttachLogStream(nullptr); }
    std::wostringstream stream_;
};

TEST_F(LogLineTest, FormatsWithWindowsMeaningsOfPercentSAndS) {
    LogLine(L"Schrijven van %s mislukt (%lu)", L"C:\\Tolbex\\tolbex.ini", static_cast<DWORD>(32));
    LogLine(L"Update GEWEIGERD: onbekende bestandsnaam '%S' in het manifest", "sub/tolbex.ini");
    LogLine(L"Bijgewerkt: %s (%zu bytes)", L"tolbex.ini", static_cast<size_t>(64));
    EXPECT_EQ(StreamLines(stream_),
              (std::vector<std::wstring>{
                  L"Schrijven van C:\\Tolbex\\tolbex.ini mislukt (32)",
                  L"Update GEWEIGERD: onbekende bestandsnaam 'sub/tolbex.ini' in het manifest",
                  L"Bijgewerkt: tolbex.ini (64 bytes)"}));
}

TEST_F(LogLineTest, KeepsExactly2047CharactersAndCutsLongerMessages) {
    const std::wstring exact(2047, L'a');
    const std::wstring longer(5000, L'b');
    LogLine(L"%s", exact.c_str());
    LogLine(L"%s", longer.c_str());
    LogLine(L"[installer] nog steeds hier");
    EXPECT_EQ(StreamLines(stream_), (std::vector<std::wstring>{exact, std::wstring(2047, L'b'),
                                                               L"[installer] nog steeds hier"}));
}

TEST_F(LogLineTest, DropsNoiseAndPassesTheInstallersOwnLines) {
    LogLine(L"[CLOCK] offset %d ms", 3);
    LogLine(L"[installer] klaar in %s", L"C:\\Tolbex");
    LogLine(L"[regels] van de server: %d", 1);
    LogLine(L"[regels] van de server: %d", 1);
    EXPECT_EQ(StreamLines(stream_), (std::vector<std::wstring>{L"[installer] klaar in C:\\Tolbex",
                                                               L"[regels] van de server: 1"}));
}

TEST_F(LogLineTest, TwoThreadsProduceWholeLinesOnly) {
    constexpr int kLines = 300;
    const std::wstring a(300, L'a'), b(300, L'b');
    auto writer = [](const std::wstring& text) {
        for (int i = 0; i < kLines; ++i) LogLine(L"%s %d", text.c_str(), i);
    };
    std::thread first(writer, a), second(writer, b);
    first.join();
    second.join();
    const auto lines = StreamLines(stream_);
    ASSERT_EQ(lines.size(), 2u * kLines);
    int countA = 0, countB = 0;
    for (const auto& line : lines) {
        const std::wstring body = line.substr(0, 300);
        ASSERT_TRUE(body == a || body == b) << "interleaved line";
        (body == a ? countA : countB)++;
    }
    EXPECT_EQ(countA, kLines);
    EXPECT_EQ(countB, kLines);
}

TEST(LogState, IsOneObjectForAllThreads) {
    LogState* seen[2] = {};
    std::thread first([&] { seen[0] = &TheLogState(); });
    std::thread second([&] { seen[1] = &TheLogState(); });
    first.join();
    second.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], &TheLogState());
}

TEST(AppDataDir, IsDocumentsJoinedWithTolbexAndStable) {
    CoTaskString documents;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, documents.put())));
    const std::wstring expected = std::wstring(documents.get()) + L"\\Tolbex";
    EXPECT_EQ(AppDataDir(), expected);
    EXPECT_EQ(AppDataDir(), AppDataDir());
}

}  // namespace
