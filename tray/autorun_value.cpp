#include "tray/autorun_value.h"

#include <strsafe.h>

const char AUTORUN_VALUE[] = "Tandivorex";
const WCHAR AUTORUN_VALUE_W[] = L"Tandivorex";

BOOL MakeAutoRunCommand(LPCWSTR pszPath, WCHAR (&szCommand)[MAX_PATH])
{
    // The value is a command line: quoted, so a path with spaces cannot start
    // "C:\Program.exe" instead. Stored wide, as the registry keeps every
    // string: 260 characters, the same data an ANSI write of the 260-byte
    // buffer leaves, but with the path's own characters where the code page
    // has none.
    ::ZeroMemory(szCommand, sizeof szCommand);
    size_t nPath = 0;
    if (FAILED(::StringCchLengthW(pszPath, MAX_PATH, &nPath)) || nPath == 0 || nPath + 3 > MAX_PATH)
        return FALSE;
    szCommand[0] = L'"';
    ::CopyMemory(szCommand + 1, pszPath, nPath * sizeof(WCHAR));
    szCommand[nPath + 1] = L'"';
    return TRUE;
}
