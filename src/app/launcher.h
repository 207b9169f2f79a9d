// Starting the installed launcher.
#pragma once

// Starts InstallDir\tolbex_launcher.exe with the shell's "open" verb, no arguments and
// InstallDir as the working directory. Does not wait; a failed start is silent.
void StartLauncher();
