// The install worker thread and the end of an installation on the window thread.
#pragma once

#include <windows.h>

// Posted by the worker to MainWindow: wParam 1 when the installation succeeded, 0 when
// it failed; lParam 0.
constexpr UINT WM_INSTALL_DONE = WM_APP + 1;

// Thread procedure: runs InstallFromServers on InstallDir, posts WM_INSTALL_DONE and
// returns 0. Touches no window but that one post and initialises no COM.
DWORD WINAPI InstallWorker(void* parameter);

// Starts InstallWorker on a new thread whose handle is closed at once (it is never
// joined). False when the thread could not be created; GetLastError then tells why.
bool StartInstallWorker();

// The end of an installation, on the window thread. Success: the desktop and Start-menu
// shortcuts, the line "[installer] klaar in <dir>", the launcher, then the window is
// destroyed. Failure: the error box (caption "Tolbex", stop icon), then the window is
// destroyed. Nothing that the update engine wrote is removed.
void FinishInstallation(HWND window, bool succeeded);
