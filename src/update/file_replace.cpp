// Writing a verified file, and moving an in-use file out of the way first.
//
// Windows lets a file that is open elsewhere be renamed when every open handle shares
// delete access, even though it cannot be opened for writing: a running DLL or a file
// another program reads with FILE_SHARE_READ | FILE_SHARE_DELETE. ReplaceFileInUse uses
// that: tolbex_core.dll becomes tolbex_core.dll.oud and a fresh tolbex_core.dll is
// written beside it.
#include "update/file_replace.h"

#include <windows.h>

#include "common/handles.h"
#include "common/path_rules.h"
#include "log/log.h"

namespace {

constexpr wchar_t kAsideSuffix[] = L".oud";

}  // namespace

bool WriteWholeFile(const WideString& target, const ByteBuffer& contents) {
    // No sharing: nobody reads or writes the file while it is being written.
    FileHandle file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    const DWORD length = static_cast<DWORD>(contents.size());
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), contents.data(), length, &written, nullptr);
    // The owner closes the file and keeps WriteFile's last error for the caller.
    return ok && written == length;
}

bool ReplaceFileInUse(const WideString& target, const ByteBuffer& contents) {
    if (WriteWholeFile(target, contents))
        return true;
    const DWORD firstError = GetLastError();

    // One aside name per file: an older aside file goes first. If it cannot be deleted
    // (held open itself), MOVEFILE_REPLACE_EXISTING still gets a chance to replace it.
    const WideString aside = target + kAsideSuffix;
    DeleteFileW(aside.c_str());
    if (!MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        // The move's own code (often "access denied") would hide why the write failed.
        SetLastError(firstError);
        return false;
    }
    LogLine(L"%s was in gebruik (%lu): opzij gezet als %s", PathLastComponent(target).c_str(),
            firstError, PathLastComponent(aside).c_str());
    return WriteWholeFile(target, contents);
}
