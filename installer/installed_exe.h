// Where the install puts the program: Tandivorex.exe in INSTALLDIR.
#pragma once

#include <windows.h>

extern const WCHAR INSTALLED_EXE_NAME[];

// The installed program's path, from INSTALLDIR's value (which ends in a
// backslash). FALSE when it does not fit szExe: neither a running copy's image
// name, as EndRunningCopy asks for it, nor the Run value is ever that long, so
// such a path names no copy of ours.
BOOL MakeInstalledExe(LPCWSTR pszInstallDir, WCHAR (&szExe)[MAX_PATH * 2]);
