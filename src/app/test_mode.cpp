#include "app/test_mode.h"

#include <windows.h>

#include <string>

#include "app/report_text.h"
#include "common/handles.h"
#include "common/path_rules.h"
#include "location/install_dir.h"
#include "location/validation.h"
#include "update/install_servers.h"

namespace {

constexpr const wchar_t* kReportFileName = L"installer.txt";

// Created or truncated, with reading and writing by other processes allowed meanwhile
// (a test harness may hold the previous report open). A file that cannot be created or
// a short write leaves the report missing or short, silently.
void WriteReport(const WideString& path, const std::string& bytes) {
    FileHandle report(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!report)
        return;
    DWORD written = 0;
    WriteFile(report.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int RunTestMode(const WideString& folder) {
    // "Tolbex" is always appended, also when the folder already is called Tolbex.
    InstallDir = PathJoin(folder, L"Tolbex");

    TestReportValues values;
    values.map = InstallDir;
    values.fout = ValidateInstallDir() != nullptr;
    values.gelukt = !values.fout && InstallFromServers();
    // Only after the installation: a refused folder may still carry an older marker.
    values.eigenMap = IsOwnFolder(InstallDir);

    WriteReport(PathJoin(folder, kReportFileName), TestReportText(values));
    return values.gelukt ? 0 : 1;
}
