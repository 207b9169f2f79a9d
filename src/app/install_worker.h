// The install worker thread and the end of an installation on the window thread.
#pragma once

#include <windows.h>

// Posted by the worker to MainWindow: wParam 1 when the installation succeeded, 0 when
// it failed; lParam the run's token from StartInstallWorker. Any program can post this
// message number to the window, so the window obeys only the one carrying its token.
constexpr UINT WM_INSTALL_DONE = WM_APP + 1;

// Posted by the worker to MainWindow while the files arrive, at most about ten times a
// second: the low word of wParam is the share received (update_progress.h, 0 to
// kProgressFull), the high word numbers the server runs that reached their files (1 for
// the first), so a new number starts the count again; lParam is the run's token, as for
// WM_INSTALL_DONE. The count's start (0), each file's end and the count's end
// (kProgressFull) are always posted.
constexpr UINT WM_INSTALL_PROGRESS = WM_APP + 2;

// Thread procedure; the parameter is the run's token. Runs InstallFromServers on
// InstallDir, telling the window how far it has come with WM_INSTALL_PROGRESS, and
// reports the result with WM_INSTALL_DONE, then returns 0. An exception
// escaping the installation (an allocation failure, a mutex error) counts as a failed
// installation. Touches no window but MainWindow and initialises no COM.
DWORD WINAPI InstallWorker(void* parameter);

// Draws a fresh random token (never 0) and starts InstallWorker with it on a new thread
// whose handle is closed at once (it is never joined). Returns the token; 0 when the
// thread could not be created, GetLastError then tells why. Window thread only.
LPARAM StartInstallWorker();

// The end of an installation, on the window thread. Success: the desktop and Start-menu
// shortcuts, the line "[installer] klaar in <dir>", the launcher, then the window is
// destroyed. Failure: the error box (caption "Tolbex", stop icon), then the window is
// destroyed. Nothing that the update engine wrote is removed.
void FinishInstallation(HWND window, bool succeeded);
