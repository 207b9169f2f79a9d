// What the update-engine tests under Wine share: a scratch folder of their own, whole
// files read and written, the folder's digest, and the log lines of a test read back
// without their stamps.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/types.h"
#include "log/log.h"
#include "tree_digest.h"

namespace update_test {

using test_support::TreeDigest;

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline ByteBuffer Bytes(const std::string& text) {
    return ByteBuffer(text.begin(), text.end());
}

// A fresh, empty folder per test under the prefix's temporary folder, removed after it.
// Captures the log lines written meanwhile.
class EngineTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::error_code ec;
        dir_ = std::filesystem::temp_directory_path(ec) / "tolbex-engine-test" /
               (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(dir_, ec);
        ASSERT_TRUE(std::filesystem::create_directories(dir_, ec)) << ec.message();
        AttachLogStream(&stream_);
    }
    void TearDown() override {
        AttachLogStream(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // The messages logged so far, without their "[hh:mm:ss.mmm] " stamps.
    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        std::wistringstream in(stream_.str());
        for (std::wstring line; std::getline(in, line);) lines.push_back(line.substr(15));
        return lines;
    }

    WideString Path(const std::string& name) const { return (dir_ / name).wstring(); }

    // Starts the next case of a table afresh: empty folder, no lines.
    void Reset() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        std::filesystem::create_directories(dir_, ec);
        stream_.str(L"");
    }

    std::filesystem::path dir_;
    std::wostringstream stream_;
};

}  // namespace update_test
