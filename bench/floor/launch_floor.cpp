// The launch-road baseline: a minimal Windows program that does nothing but start
// the launcher in a folder with ShellExecuteW, as the installer's road 2 does.
//   launch_floor.exe FOLDER
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr || count < 2)
        return 2;
    const std::wstring folder = argv[1];
    const std::wstring file = folder + L"\\tolbex_launcher.exe";
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
    LocalFree(argv);
    return 0;
}
