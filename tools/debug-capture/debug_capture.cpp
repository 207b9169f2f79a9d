// debug-capture: runs a Windows program under the debug API and prints each of its
// OutputDebugString events on a line of its own (UTF-8). Wine hands these events only
// to an attached debugger, so this is how the tests read the installer's log.
//
//   debug-capture.exe [--out FILE] PROGRAM [ARGUMENTS...]
//
// A line feed inside an event is printed as the two characters \n, so the installer's
// two writes per log line show as the message and then a line "\n". The exit code is
// the program's own; 125 when it cannot be started.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// Quotes one argument by the rules CommandLineToArgvW reverses.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::wstring ReadEventText(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const std::size_t units = info.nDebugStringLength;
    std::wstring text;
    if (info.fUnicode) {
        std::wstring buffer(units, L'\0');
        SIZE_T read = 0;
        ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), units * sizeof(wchar_t),
                          &read);
        buffer.resize(read / sizeof(wchar_t));
        text = buffer;
    } else {
        std::string buffer(units, '\0');
        SIZE_T read = 0;
        ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), units, &read);
        buffer.resize(read);
        const int n = MultiByteToWideChar(CP_ACP, 0, buffer.data(), static_cast<int>(buffer.size()),
                                          nullptr, 0);
        text.assign(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, buffer.data(), static_cast<int>(buffer.size()), text.data(),
                            n);
    }
    while (!text.empty() && text.back() == L'\0') text.pop_back();  // the length counts the NUL
    return text;
}

void PrintEvent(FILE* out, const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\n')
            escaped += L"\\n";
        else if (c == L'\r')
            escaped += L"\\r";
        else
            escaped += c;
    }
    const std::string line = Utf8(escaped) + "\n";
    fwrite(line.data(), 1, line.size(), out);
    fflush(out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    FILE* out = stdout;
    if (argc > 2 && std::wstring(argv[1]) == L"--out") {
        out = _wfopen(argv[2], L"wb");
        if (out == nullptr) {
            fwprintf(stderr, L"debug-capture: cannot write %ls\n", argv[2]);
            return 125;
        }
        first = 3;
    }
    if (first >= argc) {
        fputs("usage: debug-capture.exe [--out FILE] PROGRAM [ARGUMENTS...]\n", stderr);
        return 125;
    }
    std::wstring commandLine;
    for (int i = first; i < argc; ++i) {
        if (i > first)
            commandLine += L' ';
        commandLine += Quote(argv[i]);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &process)) {
        fwprintf(stderr, L"debug-capture: cannot start %ls (error %lu)\n", argv[first],
                 GetLastError());
        return 125;
    }

    DWORD exitCode = 125;
    for (bool running = true; running;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, INFINITE))
            break;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT:
                PrintEvent(out, ReadEventText(process.hProcess, event.u.DebugString));
                break;
            case EXCEPTION_DEBUG_EVENT:
                // Every breakpoint is swallowed, the loader's initial one (raised for the
                // debugger) and any later one alike; every other exception goes back to
                // the program, which handles it or dies as it would alone.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile)
                    CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile)
                    CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                exitCode = event.u.ExitProcess.dwExitCode;
                running = false;
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (out != stdout)
        fclose(out);
    return static_cast<int>(exitCode);
}
