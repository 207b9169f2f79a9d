#include "app/installer_window.h"

#include <cstdlib>

// The installer window is not built yet: end the process with exit code 1 rather than
// pretend that an installation happened.
void RunInstallerWindow(HINSTANCE) { std::exit(1); }
