// The window road's installation without its window, for the benchmark of the cost of
// progress reporting: the install worker itself, with its progress posts on, run on
// this thread. MainWindow stays null, and a post to no window goes to the posting
// thread's own queue, so every WM_INSTALL_PROGRESS and the final WM_INSTALL_DONE land
// here and are read back afterwards.
//   install_progress.exe FOLDER     installs into FOLDER\Tolbex from the update servers
// Exit code 0 when the installation succeeded and at least one progress post arrived.
#include <windows.h>

#include <cstdio>

#include "app/install_worker.h"
#include "common/install_names.h"
#include "common/path_rules.h"
#include "location/install_dir.h"
#include "location/validation.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // makes this thread's queue
    InstallDir = PathJoin(argv[1], kProductFolderName);
    if (ValidateInstallDir())
        return 1;
    InstallWorker(reinterpret_cast<void*>(LPARAM{1}));
    unsigned posts = 0;
    bool installed = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_INSTALL_PROGRESS)
            ++posts;
        if (message.message == WM_INSTALL_DONE)
            installed = message.wParam != 0;
    }
    std::printf("%u progress posts\n", posts);
    return installed && posts > 0 ? 0 : 1;
}
