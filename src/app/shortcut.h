// The shell shortcuts to the installed launcher.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "common/types.h"

// Creates or overwrites the shortcut file at link with target as its program, the
// target's folder as working directory and the Tolbex description; no arguments, icon,
// show command or hot key. Every failure is silent. Needs COM on the calling thread.
void CreateShortcut(const WideString& link, const WideString& target);

// CreateShortcut for "Tolbex.lnk" in a known folder. When the folder cannot be resolved
// the shortcut is skipped: a bare "Tolbex.lnk" would land in the current directory.
void CreateShortcutIn(REFKNOWNFOLDERID folder, const WideString& target);
