// SHA-256 on CNG and whole-file hashing against the real file system under Wine.
#include "crypto/sha256.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/handles.h"
#include "crypto/hex.h"

namespace fs = std::filesystem;

namespace {

std::string DigestHex(const std::string& data) {
    std::uint8_t digest[32] = {};
    if (!Sha256(data.data(), static_cast<std::uint32_t>(data.size()), digest))
        return "failed";
    return HexLower(digest, 32);
}

const char kEmptyDigest[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(Sha256Test, MatchesTheStandardVectors) {
    struct Case {
        std::string data, digest;
    } const cases[] = {
        {"", kEmptyDigest},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) EXPECT_EQ(DigestHex(c.data), c.digest) << c.data.substr(0, 8);
}

class FileSha256HexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "tolbex-sha256-test";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // A file of size bytes, all zero; resize_file leaves it sparse where the file system can.
    fs::path Sized(const char* name, std::uintmax_t size) {
        const fs::path file = dir_ / name;
        std::ofstream(file, std::ios::binary).flush();
        fs::resize_file(file, size);
        return file;
    }
    fs::path dir_;
};

TEST_F(FileSha256HexTest, HashesFilesBelowTheLimit) {
    const fs::path abc = dir_ / "abc.txt";
    std::ofstream(abc, std::ios::binary) << "abc";
    EXPECT_EQ(FileSha256Hex(abc.wstring()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(FileSha256Hex(Sized("empty.bin", 0).wstring()), kEmptyDigest);
}

// Exactly 256 MiB is the largest file that is hashed (common/file_sizes.h, as HttpGet and
// the publisher have it); one byte more is refused. The digest of 268435456 zero bytes
// was computed once with `truncate -s 268435456 f && sha256sum f`.
TEST_F(FileSha256HexTest, HashesExactly256MiBAndRefusesOneByteMore) {
    EXPECT_EQ(FileSha256Hex(Sized("limit.bin", 268435456).wstring()),
              "a6d72ac7690f53be6ae46ba88506bd97302a093f7108472bd9efc3cefda06484");
    EXPECT_EQ(FileSha256Hex(Sized("over.bin", 268435457).wstring()), "");
}

TEST_F(FileSha256HexTest, GivesEmptyTextForFoldersAndMissingFiles) {
    EXPECT_EQ(FileSha256Hex(dir_.wstring()), "");
    EXPECT_EQ(FileSha256Hex((dir_ / "missing.bin").wstring()), "");
    EXPECT_EQ(FileSha256Hex((dir_ / "no" / "such" / "folder.bin").wstring()), "");
}

// The hash opens with read and delete sharing but not write sharing, so a handle that
// holds the file open for writing (while sharing everything itself) refuses the open. A
// reader that shares only reading does not, and once the writer is gone the same file
// hashes again: the writer alone was the cause.
TEST_F(FileSha256HexTest, GivesEmptyTextWhileAnotherHandleWrites) {
    const fs::path file = dir_ / "busy.bin";
    std::ofstream(file, std::ios::binary) << "abc";
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    {
        FileHandle writer(CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(FileSha256Hex(file.wstring()), "");
    }
    FileHandle reader(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_EQ(FileSha256Hex(file.wstring()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
