#include "common/path_rules.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const wchar_t* path;
    const wchar_t* rootName;
    const wchar_t* rootPath;
    const wchar_t* last;
    const wchar_t* parent;
};

// One row per path shape: drives, bare drives, UNC, device prefixes, both separators.
const PathCase kCases[] = {
    {L"C:\\Users\\anna\\Tolbex", L"C:", L"C:\\", L"Tolbex", L"C:\\Users\\anna"},
    {L"C:/Users/anna/Tolbex", L"C:", L"C:/", L"Tolbex", L"C:/Users/anna"},
    {L"C:\\Games\\", L"C:", L"C:\\", L"", L"C:\\Games"},
    {L"C:\\Games\\\\", L"C:", L"C:\\", L"", L"C:\\Games"},
    {L"C:\\Games", L"C:", L"C:\\", L"Games", L"C:\\"},
    {L"C:\\", L"C:", L"C:\\", L"", L"C:\\"},
    {L"D:", L"D:", L"D:", L"", L"D:"},
    {L"D:Tolbex", L"D:", L"D:", L"Tolbex", L"D:"},
    {L"\\\\server\\share\\Tolbex", L"\\\\server", L"\\\\server\\", L"Tolbex", L"\\\\server\\share"},
    {L"\\\\server", L"\\\\server", L"\\\\server", L"", L"\\\\server"},
    {L"//server/share", L"//server", L"//server/", L"share", L"//server/"},
    {L"\\\\?\\C:\\Tolbex", L"\\\\?\\", L"\\\\?\\", L"Tolbex", L"\\\\?\\C:"},
    {L"\\\\.\\pipe\\x", L"\\\\.\\", L"\\\\.\\", L"x", L"\\\\.\\pipe"},
    {L"\\\\\\x", L"", L"\\\\\\", L"x", L"\\\\\\"},
    {L"\\Tolbex", L"", L"\\", L"Tolbex", L"\\"},
    {L"Programs\\Tolbex", L"", L"", L"Tolbex", L"Programs"},
    {L"Tolbex", L"", L"", L"Tolbex", L""},
    {L"", L"", L"", L"", L""},
    {L"1:\\x", L"", L"", L"x", L"1:"},
};

TEST(PathRules, RootLastComponentAndParentOfEveryShape) {
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "path index " << (&c - kCases));
        EXPECT_EQ(PathRootName(c.path), c.rootName);
        EXPECT_EQ(PathRootPath(c.path), c.rootPath);
        EXPECT_EQ(PathLastComponent(c.path), c.last);
        EXPECT_EQ(PathParent(c.path), c.parent);
    }
}

TEST(PathRules, JoinAddsOneBackslashUnlessFolderEndsInSeparatorOrIsBareDrive) {
    struct {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* joined;
    } cases[] = {
        {L"C:\\Games", L"Tolbex", L"C:\\Games\\Tolbex"},
        {L"C:\\Games\\", L"Tolbex", L"C:\\Games\\Tolbex"},
        {L"C:/Games/", L"Tolbex", L"C:/Games/Tolbex"},
        {L"D:", L"Tolbex", L"D:Tolbex"},
        {L"D:\\", L"Tolbex", L"D:\\Tolbex"},
        {L"", L"Programs", L"Programs"},
        {L"\\\\server\\share", L"x", L"\\\\server\\share\\x"},
        {L"Programs", L"Tolbex", L"Programs\\Tolbex"},
    };
    for (const auto& c : cases) EXPECT_EQ(PathJoin(c.folder, c.name), c.joined) << c.joined;
}

// The normal form, and the form the default-folder comparison makes of it: the same
// without separators at the end, down to the root path.
TEST(PathRules, LexicallyNormalFoldsDotsAndSeparators) {
    struct {
        const wchar_t* path;
        const wchar_t* normal;
        const wchar_t* compared;
    } cases[] = {
        {L"C:/Users/./anna/../anna/Tolbex", L"C:\\Users\\anna\\Tolbex", L"C:\\Users\\anna\\Tolbex"},
        {L"C:\\a\\\\b", L"C:\\a\\b", L"C:\\a\\b"},
        {L"C:\\..\\a", L"C:\\a", L"C:\\a"},
        {L"a\\..\\..\\b", L"..\\b", L"..\\b"},
        {L"a\\b\\", L"a\\b\\", L"a\\b"},
        {L"a\\.", L"a\\", L"a"},
        {L"a\\b\\..", L"a\\", L"a"},
        {L"..", L"..", L".."},
        {L".", L".", L"."},
        {L"", L".", L"."},
        {L"//server/share/./x", L"\\\\server\\share\\x", L"\\\\server\\share\\x"},
        {L"C:\\\\", L"C:\\", L"C:\\"},
        {L"//server/", L"\\\\server\\", L"\\\\server\\"},
        {L"\\\\?\\C:\\Tolbex\\..\\", L"\\\\?\\C:\\", L"\\\\?\\C:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathLexicallyNormal(c.path), c.normal) << c.path;
        EXPECT_EQ(PathWithoutTrailingSeparators(c.normal), c.compared) << c.path;
    }
}

// Two canonical forms name the same folder only when both could be computed: an empty
// form (a failed lookup) matches nothing, not even another empty one.
TEST(PathRules, SameCanonicalFormNeedsTwoFormsThatAgree) {
    struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"C:\\Users\\Anna\\AppData\\Local\\Programs\\Tolbex",
         L"c:\\users\\anna\\appdata\\local\\programs\\TOLBEX", true},
        {L"C:\\Tolbex", L"C:\\Tolbex", true},
        {L"C:\\Tolbex", L"D:\\Tolbex", false},
        {L"C:\\Tolbex", L"C:\\Tolbex\\", false},    // forms come without trailing separators
        {L"C:\\Zo\u00eb", L"C:\\ZO\u00cb", false},  // only ASCII letters fold
        {L"", L"", false},
        {L"", L"C:\\Tolbex", false},
        {L"C:\\Tolbex", L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameCanonicalForm(c.a, c.b), c.same) << c.a << L" / " << c.b;
    }
}

}  // namespace
