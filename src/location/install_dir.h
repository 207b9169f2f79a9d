// Where Tolbex lives for this run, and the lookups that give it its first value.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "common/types.h"

// The install folder of this run. Written only on the main thread: by the entry point,
// the test mode or the folder picker, never after an installation has started.
extern WideString InstallDir;

// The path of a Windows known folder, or empty when it cannot be resolved.
WideString KnownFolderPath(REFKNOWNFOLDERID folderId);

// LocalAppData\Programs\Tolbex; the relative Programs\Tolbex when LocalAppData cannot be
// resolved. Creates and checks nothing.
WideString DefaultInstallDir();

// The folder of an installed Tolbex: the InstallLocation of HKCU's uninstall key
// "Tolbex" when the launcher is there, else the default folder when the launcher is
// there, else empty. A launcher that an interrupted commit left as
// tolbex_launcher.exe.vorig counts as there. Reads only; never fails otherwise.
WideString FindExistingInstall();

// Whether anything (file, folder, other) exists at the path; links are followed and a
// failing status query counts as absent.
bool PathExists(const WideString& path);
