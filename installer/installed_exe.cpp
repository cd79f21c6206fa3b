#include "installer/installed_exe.h"

#include <strsafe.h>

const WCHAR INSTALLED_EXE_NAME[] = L"Tandivorex.exe";

BOOL MakeInstalledExe(LPCWSTR pszInstallDir, WCHAR (&szExe)[MAX_PATH * 2])
{
    return SUCCEEDED(::StringCchCopyW(szExe, MAX_PATH * 2, pszInstallDir)) &&
           SUCCEEDED(::StringCchCatW(szExe, MAX_PATH * 2, INSTALLED_EXE_NAME));
}
