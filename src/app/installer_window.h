#pragma once

#include <windows.h>

// Builds the installer window, shows it and runs its message loop until it is gone.
void RunInstallerWindow(HINSTANCE instance);
