// Windows path rules as pure functions on text: both '\' and '/' separate, joined paths
// use '\'. Root names are a drive with colon (C:), two separators and a server name
// (\\server), or the device prefixes \\?\ and \\.\ on their own (the drive or name after
// them is the first component: \\?\C:\x has the root name \\?\ and the parent \\?\C:).
// These are the rules of the standard library's Windows filesystem::path, written out
// so they also hold on Linux.
#pragma once

#include "common/types.h"

bool IsPathSeparator(wchar_t c);

// "C:" for C:\x, "\\server" for \\server\share\x, "\\?\C:" for \\?\C:\x, "" for a
// relative path or one that starts with a single separator.
WideString PathRootName(const WideString& path);

// The root name and the separators right after it: "C:\" for C:\x, "\" for \x.
WideString PathRootPath(const WideString& path);

// The text after the last separator behind the root path; empty when the path ends in
// a separator or is only a root path. "C:\a\b" gives "b", "C:\a\" gives "", "D:" gives "".
WideString PathLastComponent(const WideString& path);

// The path without its last component and the separators before it, never shorter
// than the root path: "C:\a\b" gives "C:\a", "C:\a" gives "C:\", "a" gives "".
WideString PathParent(const WideString& path);

// A joined with the relative name B: B when A is empty; else A, a '\' unless A already
// ends in a separator or is a bare drive such as "D:", then B.
WideString PathJoin(const WideString& folder, const WideString& name);

// The lexical normal form: separators made '\', "." dropped, ".." folded against the
// component before it (never above the root), repeated separators collapsed.
// "C:/a/./b/../c" gives "C:\a\c". The result ends in a separator when the path did, and
// also when its last component was a "." or a ".." that folded one away, since both
// name a folder: "a\." and "a\b\.." give "a\". A ".." that stays gets none ("..\" gives
// ".."), and an empty result is ".".
WideString PathLexicallyNormal(const WideString& path);

// The path without separators at its end, never shorter than the root path:
// "C:\a\b\\" gives "C:\a\b", "C:\" and "\\server\" stay as they are. With
// PathLexicallyNormal before it, this is the lexical half of the weakly canonical form,
// so that "C:/a/./b/" and "c:\A\b" compare equal without case.
WideString PathWithoutTrailingSeparators(const WideString& path);

// Whether two weakly canonical forms name the same file or folder: equal text, ASCII
// letters in any case. A form that could not be computed is empty and matches nothing,
// not even another empty form: two failed lookups must never make two paths "the same".
bool SameCanonicalForm(const WideString& a, const WideString& b);
