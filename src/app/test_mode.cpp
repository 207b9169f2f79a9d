// The window-less test installation (--proef FOLDER) and its four-line report.
#include "app/test_mode.h"

#include <windows.h>

#include <string>

#include "app/report_text.h"
#include "common/handles.h"
#include "common/install_names.h"
#include "common/path_rules.h"
#include "location/install_dir.h"
#include "location/validation.h"
#include "log/log.h"
#include "update/file_replace.h"
#include "update/folder_lock.h"
#include "update/install_servers.h"

namespace {

constexpr const wchar_t* kReportFileName = L"installer.txt";

// Created or truncated, with reading and writing by other processes allowed meanwhile
// (a test harness may hold the previous report open). True only when every byte was
// written and the file closed; otherwise the report is missing or short, and the line
// "[installer] testrapport %s niet geschreven (%lu)" gives the path and the code.
bool WriteReport(const WideString& path, const std::string& bytes) {
    FileHandle report(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    bool whole = report && WriteFile(report.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &written, nullptr);
    // A short count leaves no code of its own; the report is a few dozen bytes, so a
    // short write means the disk is full.
    if (whole && written != bytes.size()) {
        SetLastError(ERROR_DISK_FULL);
        whole = false;
    }
    whole = whole && CloseHandle(report.release());
    if (!whole)
        LogLine(L"[installer] testrapport %s niet geschreven (%lu)", path.c_str(), GetLastError());
    return whole;
}

}  // namespace

int RunTestMode(const WideString& folder) {
    // The product folder is always appended, also when the folder already is called so.
    InstallDir = PathJoin(folder, kProductFolderName);

    TestReportValues values;
    values.map = InstallDir;
    // Held to the end of the write phase; a run that gives up waiting for another one
    // fails as an installation (gelukt=0), not as a refused folder.
    FolderLock lock;
    if (TakeFolderLock(InstallDir, lock)) {
        RecoverInterruptedWrite(InstallDir);
        values.fout = ValidateInstallDir() != nullptr;
        values.gelukt = !values.fout && InstallFromServers();
        lock.Release();
    }
    // Only after the installation: a refused folder may still carry an older marker.
    values.eigenMap = IsOwnFolder(InstallDir);

    // The exit code and the report must tell the same: without a whole report, a caller
    // reading it would find no result or a cut-off one, so the run counts as failed.
    const bool reported = WriteReport(PathJoin(folder, kReportFileName), TestReportText(values));
    return values.gelukt && reported ? 0 : 1;
}
