// The Windows path rules on plain text: root names, parents, joins, the lexical normal form.
#include "common/path_rules.h"

#include <vector>

namespace {

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Length of the root name at the start of the path (0 when there is none).
std::size_t RootNameLength(const WideString& p) {
    const std::size_t n = p.size();
    // Device prefixes \\?\ and \\.\ (either separator): the prefix is the root name.
    if (n >= 4 && IsPathSeparator(p[0]) && IsPathSeparator(p[1]) &&
        (p[2] == L'?' || p[2] == L'.') && IsPathSeparator(p[3])) {
        return 4;
    }
    // \\server: two separators, then a name up to the next separator. Three separators
    // in a row are no server name, just a rooted path.
    if (n >= 3 && IsPathSeparator(p[0]) && IsPathSeparator(p[1]) && !IsPathSeparator(p[2])) {
        std::size_t end = 2;
        while (end < n && !IsPathSeparator(p[end])) ++end;
        return end;
    }
    if (n >= 2 && IsAsciiLetter(p[0]) && p[1] == L':')
        return 2;
    return 0;
}

std::size_t RootPathLength(const WideString& p) {
    std::size_t end = RootNameLength(p);
    while (end < p.size() && IsPathSeparator(p[end])) ++end;
    return end;
}

}  // namespace

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

WideString PathRootName(const WideString& path) {
    return path.substr(0, RootNameLength(path));
}

WideString PathRootPath(const WideString& path) {
    return path.substr(0, RootPathLength(path));
}

WideString PathLastComponent(const WideString& path) {
    const std::size_t root = RootPathLength(path);
    std::size_t start = path.size();
    while (start > root && !IsPathSeparator(path[start - 1])) --start;
    return path.substr(start);
}

WideString PathParent(const WideString& path) {
    const std::size_t root = RootPathLength(path);
    std::size_t end = path.size();
    while (end > root && !IsPathSeparator(path[end - 1])) --end;
    while (end > root && IsPathSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

WideString PathJoin(const WideString& folder, const WideString& name) {
    if (folder.empty())
        return name;
    const bool endsInSeparator = IsPathSeparator(folder.back());
    const bool bareDrive = folder.size() == 2 && RootNameLength(folder) == 2;
    if (endsInSeparator || bareDrive)
        return folder + name;
    return folder + L'\\' + name;
}

WideString PathLexicallyNormal(const WideString& path) {
    const std::size_t nameLength = RootNameLength(path);
    WideString root = path.substr(0, nameLength);
    for (auto& c : root) {
        if (c == L'/')
            c = L'\\';
    }
    std::size_t i = nameLength;
    const bool hasRootDirectory = i < path.size() && IsPathSeparator(path[i]);
    while (i < path.size() && IsPathSeparator(path[i])) ++i;

    std::vector<WideString> parts;
    bool trailingSeparator = false;
    while (i < path.size()) {
        std::size_t end = i;
        while (end < path.size() && !IsPathSeparator(path[end])) ++end;
        WideString part = path.substr(i, end - i);
        trailingSeparator = end < path.size();
        while (end < path.size() && IsPathSeparator(path[end])) ++end;
        i = end;
        if (part == L".") {
            trailingSeparator = true;
            continue;
        }
        if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..") {
                parts.pop_back();
                trailingSeparator = true;
                continue;
            }
            if (hasRootDirectory)
                continue;  // nothing lies above the root
        }
        parts.push_back(part);
    }

    WideString out = root;
    if (hasRootDirectory)
        out += L'\\';
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0)
            out += L'\\';
        out += parts[k];
    }
    if (trailingSeparator && !parts.empty() && parts.back() != L"..")
        out += L'\\';
    if (out.empty())
        out = L".";
    return out;
}

WideString PathWithoutTrailingSeparators(const WideString& path) {
    const std::size_t root = RootPathLength(path);
    std::size_t end = path.size();
    while (end > root && IsPathSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

bool SameCanonicalForm(const WideString& a, const WideString& b) {
    return !a.empty() && !b.empty() && EqualsAsciiNoCase(a, b);
}
