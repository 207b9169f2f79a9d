// LogLine on the debugger output channel, the log's state record and the data folder.
#include "log/log.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdarg>
#include <filesystem>
#include <iterator>

#include "common/handles.h"
#include "common/install_names.h"
#include "common/path_rules.h"
#include "log/log_format.h"
#include "log/noise_filter.h"

namespace {

constexpr std::size_t kMessageUnits = 2048;  // 2047 characters and the NUL

void WriteStamped(std::wostream& stream, const wchar_t* message) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    FormatWide(stamp, std::size(stamp), L"[%02d:%02d:%02d.%03d] ", now.wHour, now.wMinute,
               now.wSecond, now.wMilliseconds);
    stream << stamp << message << L'\n';
    stream.flush();
}

}  // namespace

LogState& TheLogState() {
    // A function-level static: constructed once, concurrent first callers wait for it,
    // and destroyed at process exit.
    static LogState state;
    return state;
}

void AttachLogStream(std::wostream* stream) {
    LogState& state = TheLogState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.stream = stream;
}

void LogLine(const wchar_t* format, ...) {
    LogState& state = TheLogState();

    // Formatting happens outside the lock, in a buffer of this call.
    wchar_t message[kMessageUnits];
    va_list args;
    va_start(args, format);
    FormatWideV(message, kMessageUnits, format, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(state.mutex);
    if (IsLogNoise(state, message))
        return;
    if (state.stream != nullptr)
        WriteStamped(*state.stream, message);
    OutputDebugStringW(message);
    OutputDebugStringW(L"\n");
}

WideString AppDataDir() {
    CoTaskString documents;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, documents.put()))) {
        return PathJoin(documents.get(), kProductFolderName);
    }
    // The throwing form on purpose: with neither folder there is no data folder at all.
    return PathJoin(std::filesystem::temp_directory_path().wstring(), kProductFolderName);
}
