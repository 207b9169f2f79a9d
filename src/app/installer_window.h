// The installer's only window: the folder line, "Change..." and "Install".
#pragma once

#include <windows.h>

// The top-level window; the install worker posts WM_INSTALL_DONE to it. Written once by
// RunInstallerWindow before any worker exists.
extern HWND MainWindow;

// True from the accepted Install press until the window is gone; while it is set every
// command and every close request is refused. Window thread only.
extern bool InstallBusy;

// Whether another process of this session already runs the window road: its window
// (once it exists) is restored and brought to the front, and the caller ends with 0, so
// a double-click shows one window. False for the first; it then owns the session's
// window mutex until it exits. Call once, before RunInstallerWindow.
bool HandOverToOpenWindow();

// The same for the launch road, which owns no window: true when a window of this session
// is open (it is then brought to the front), and nothing is made. An open window starts
// the launcher itself when its installation is done; the launcher it is writing must not
// be started a second time, nor from a half-written folder.
bool ShowOpenWindow();

// Registers the class, creates the window and its four controls, shows it and runs the
// message loop until the window is destroyed; then true. When the class, the window or
// a control cannot be created it shows an error box and returns false at once, so the
// entry point does not wait on a loop that no window will ever end.
bool RunInstallerWindow(HINSTANCE instance);

// The window procedure of "TolbexInstaller".
LRESULT CALLBACK InstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
