// The weakly canonical form of a path: final paths on disk, then the lexical rules.
#include "location/canonical_path.h"

#include <windows.h>

#include <filesystem>
#include <vector>

#include "common/handles.h"
#include "common/path_rules.h"

namespace {

namespace fs = std::filesystem;

enum class Presence { kFound, kMissing, kError };

// Following links. libstdc++ reports a missing entry (also one below a file) as
// file_type::not_found and any other failure as file_type::none.
Presence QueryPresence(const WideString& path) {
    std::error_code error;
    const fs::file_type type = fs::status(fs::path(path), error).type();
    if (type == fs::file_type::not_found)
        return Presence::kMissing;
    if (type == fs::file_type::none)
        return Presence::kError;
    return Presence::kFound;
}

// Absolute the way Win32 itself resolves a path before the file system sees it: against
// the current folder, with "." and ".." folded as text. Empty on failure.
WideString FullPath(const WideString& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetFullPathNameW(path.c_str(), needed, buffer.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    return WideString(buffer.data(), length);
}

// GetFinalPathNameByHandleW answers in the device form: \\?\C:\x or \\?\UNC\server\x.
WideString WithoutDevicePrefix(const WideString& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

// The final path of an existing file or folder (FILE_FLAG_BACKUP_SEMANTICS lets
// CreateFileW open folders; no access rights are needed to ask for the name).
WideString FinalPathOnDisk(const WideString& path) {
    FileHandle entry(CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry)
        return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetFinalPathNameByHandleW(entry.get(), buffer.data(), size,
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        // Too small a buffer gives the size needed, terminator included.
        if (length < size)
            return WithoutDevicePrefix(WideString(buffer.data(), length));
        buffer.resize(length);
    }
}

}  // namespace

WideString WeaklyCanonicalPath(const WideString& path) {
    const WideString full = PathWithoutTrailingSeparators(PathLexicallyNormal(FullPath(path)));
    if (full.empty())
        return {};

    // Walk up from the whole path to the first part that exists; the missing components
    // are collected innermost first.
    WideString existing = full;
    std::vector<WideString> missing;
    for (;;) {
        const Presence presence = QueryPresence(existing);
        if (presence == Presence::kError)
            return {};
        if (presence == Presence::kFound)
            break;
        const WideString parent = PathParent(existing);
        if (parent == existing)
            return full;  // not even the root exists
        missing.push_back(PathLastComponent(existing));
        existing = parent;
    }

    WideString result = FinalPathOnDisk(existing);
    if (result.empty())
        return {};
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        result = PathJoin(result, *name);
    }
    return PathWithoutTrailingSeparators(PathLexicallyNormal(result));
}
