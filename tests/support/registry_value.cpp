// Prints a value under HKEY_CURRENT_USER as the registry stores it, for the
// MSI tests: "TYPE SIZE HEX", the data in full, past any NUL (reg.exe stops
// at the first). Exit status 1 when there is no such value.
// usage: registry_value KEY NAME
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fputs("usage: registry_value KEY NAME\n", stderr);
        return 2;
    }
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 1;
    static BYTE data[65536];
    DWORD type = REG_NONE, cb = sizeof data;
    LONG rc = ::RegQueryValueExW(hKey, argv[2], nullptr, &type, data, &cb);
    ::RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return 1;
    std::printf("%lu %lu ", type, cb);
    for (DWORD i = 0; i < cb; ++i)
        std::printf("%02x", data[i]);
    std::printf("\n");
    return 0;
}
