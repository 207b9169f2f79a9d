// The state of a folder tree, for tests that must show a folder untouched or holding
// exactly the expected files.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace test_support {

// Every name below root and every file's bytes, in name order: a folder as "name/", a
// file as "name", its bytes and a line feed each, so two equal digests mean nothing was
// added, removed, renamed or rewritten. "<absent>" when root does not exist.
//   a folder holding only tolbex.ini ("oud") and an empty sub/ gives
//   "sub/\ntolbex.ini\noud\n"
inline std::string TreeDigest(const std::filesystem::path& root) {
    std::error_code ec;
    if (!std::filesystem::exists(root, ec))
        return "<absent>";
    std::vector<std::filesystem::path> entries;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    std::string digest;
    for (const auto& entry : entries) {
        digest += entry.lexically_relative(root).generic_string();
        if (std::filesystem::is_directory(entry, ec)) {
            digest += "/\n";
            continue;
        }
        std::ifstream in(entry, std::ios::binary);
        digest += "\n" + std::string(std::istreambuf_iterator<char>(in), {}) + "\n";
    }
    return digest;
}

}  // namespace test_support
