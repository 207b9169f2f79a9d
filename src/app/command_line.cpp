// The entry point's command-line rule: whether the arguments ask for the test mode.
#include "app/command_line.h"

#include <cwchar>

bool IsTestModeCommandLine(int count, const wchar_t* const* arguments) {
    return arguments != nullptr && count >= 3 && std::wcscmp(arguments[1], L"--proef") == 0;
}
