// The folder dialog of the installer window and its path line.
#pragma once

#include <windows.h>

// The sunken path line of the installer window. Created and written once by
// RunInstallerWindow; UpdatePathLabel sets its text.
extern HWND PathLabel;

// Shows the system folder dialog modally over the owner, opening in the parent folder of
// InstallDir. On a confirmed choice InstallDir becomes the choice, with "Tolbex" joined
// unless its last component already is Tolbex, and the path line is refreshed. Cancel or
// any failure changes nothing and shows nothing. Window thread only; needs COM
// initialised apartment-threaded.
void PickInstallDir(HWND owner);

// Sets PathLabel to InstallDir and, when the query succeeds, the space on InstallDir's
// volume that is available to this user, in whole GB. Window thread only.
void UpdatePathLabel();
