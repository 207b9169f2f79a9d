// libFuzzer target over the path rules that a command-line folder meets: the join with
// "Tolbex" and "installer.txt", the last component and the parent that the own-folder
// test and the shortcut use, and the lexical half of the default-folder comparison
// (lexically normal, no trailing separator, ASCII case ignored). The folder comes from
// the command line as typed, so any text must give paths that keep these properties.
//
// The input is two texts, split at the first NUL byte: a folder and a name. Each byte
// becomes one character (ISO-8859-1), which covers every character the rules look at.
#include <cstdint>
#include <string>

#include "common/path_rules.h"
#include "fuzz_require.h"

namespace {

bool StartsWith(const WideString& text, const WideString& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const WideString& text, const WideString& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool AllSeparators(const WideString& text) {
    for (wchar_t c : text) {
        if (!IsPathSeparator(c))
            return false;
    }
    return true;
}

bool HasSeparator(const WideString& text) {
    return text.find_first_of(L"\\/") != WideString::npos;
}

WideString WithBackslashes(WideString text) {
    for (wchar_t& c : text) {
        if (c == L'/')
            c = L'\\';
    }
    return text;
}

WideString AsciiUpper(WideString text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

// Root name, root path, last component and parent: the pieces a path splits into.
void CheckPieces(const WideString& path) {
    const WideString rootName = PathRootName(path);
    const WideString rootPath = PathRootPath(path);
    REQUIRE(StartsWith(rootPath, rootName) && StartsWith(path, rootPath));
    REQUIRE(AllSeparators(rootPath.substr(rootName.size())));

    const WideString last = PathLastComponent(path);
    REQUIRE(EndsWith(path, last) && !HasSeparator(last));
    REQUIRE(path.size() - last.size() >= rootPath.size());
    if (!path.empty() && IsPathSeparator(path.back()))
        REQUIRE(last.empty());

    // The parent is a prefix, never shorter than the root path; between it and the
    // last component stand separators only.
    const WideString parent = PathParent(path);
    REQUIRE(StartsWith(path, parent) && parent.size() >= rootPath.size());
    REQUIRE(parent.size() == rootPath.size() || !IsPathSeparator(parent.back()));
    const WideString between =
        path.substr(parent.size(), path.size() - parent.size() - last.size());
    REQUIRE(AllSeparators(between));
    // Walking up ends: only a root path is its own parent (the canonical-path walk
    // stops there).
    REQUIRE((parent == path) == (path == rootPath));
}

// A folder joined with a name: the folder, at most one added '\', the name; never a
// separator added behind one that is already there.
void CheckJoin(const WideString& folder, const WideString& name) {
    const WideString joined = PathJoin(folder, name);
    if (folder.empty()) {
        REQUIRE(joined == name);
        return;
    }
    REQUIRE(StartsWith(joined, folder) && EndsWith(joined, name));
    const std::size_t added = joined.size() - folder.size() - name.size();
    REQUIRE(added <= 1);
    if (added == 1)
        REQUIRE(joined[folder.size()] == L'\\' && !IsPathSeparator(folder.back()));
    else
        REQUIRE(IsPathSeparator(folder.back()) ||
                (folder.size() == 2 && PathRootName(folder) == folder));

    // A plain name becomes the last component, and the parent is the folder again (up
    // to separators), as long as the join did not make a new root name: "\\" joined
    // with "x" is the server \\x, as in the standard library.
    const bool plainName =
        !name.empty() && !HasSeparator(name) && name.find(L':') == WideString::npos;
    if (plainName && PathRootName(joined) == PathRootName(folder)) {
        REQUIRE(PathLastComponent(joined) == name);
        const WideString trimmed = PathWithoutTrailingSeparators(folder);
        const WideString parent = PathParent(joined);
        REQUIRE(StartsWith(parent, trimmed) && AllSeparators(parent.substr(trimmed.size())));
    }
}

// The lexical form that the default-folder comparison makes of both sides.
WideString ComparedForm(const WideString& path) {
    return PathWithoutTrailingSeparators(PathLexicallyNormal(path));
}

void CheckLexicalForms(const WideString& path) {
    const WideString normal = PathLexicallyNormal(path);
    REQUIRE(!normal.empty() && normal.find(L'/') == WideString::npos);
    const bool rootKept = PathRootName(normal) == WithBackslashes(PathRootName(path));
    if (!PathRootName(path).empty())
        REQUIRE(rootKept);
    // Never empty, so an empty form can only come from a failed lookup, never from the
    // text; no trailing separator behind the root path; blind to the spelling of
    // separators and to ASCII case.
    const WideString form = ComparedForm(path);
    REQUIRE(!form.empty());
    REQUIRE(form.size() == PathRootPath(form).size() || !IsPathSeparator(form.back()));
    REQUIRE(ComparedForm(WithBackslashes(path)) == form);
    REQUIRE(ComparedForm(AsciiUpper(path)) == AsciiUpper(form));
    REQUIRE(EqualsAsciiNoCase(ComparedForm(AsciiUpper(path)), form));

    // Stable, once the root name stays what it was. A relative path whose first
    // component reads as a drive once "." and ".." are folded (".\C:.\d" gives "C:.\d")
    // is read anew, as in the standard library; no Windows name holds a ':', and the
    // comparison sees only absolute paths, so that case never reaches it.
    if (!rootKept)
        return;
    REQUIRE(PathLexicallyNormal(normal) == normal);
    REQUIRE(ComparedForm(form) == form);
    const WideString last = PathLastComponent(path);
    if (!last.empty() && last != L"." && last != L"..")
        REQUIRE(ComparedForm(path + L'\\') == form);
    // No "." component and no doubled separator behind the root name.
    const WideString rest = normal.substr(PathRootName(normal).size());
    REQUIRE(rest.find(L"\\\\") == WideString::npos);
    REQUIRE(rest != L"." || normal == L".");
    REQUIRE(rest.find(L"\\.\\") == WideString::npos && !StartsWith(rest, L".\\") &&
            !EndsWith(rest, L"\\."));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WideString input(data, data + size);
    const std::size_t split = input.find(L'\0');
    const WideString folder = input.substr(0, split);
    const WideString name =
        split == WideString::npos ? WideString(L"Tolbex") : input.substr(split + 1);
    CheckPieces(folder);
    CheckPieces(name);
    CheckJoin(folder, name);
    CheckJoin(folder, L"Tolbex");
    CheckJoin(folder, L"installer.txt");
    CheckLexicalForms(folder);
    CheckLexicalForms(PathJoin(folder, name));
    return 0;
}
