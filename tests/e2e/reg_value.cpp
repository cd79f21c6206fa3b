// Prints a registry value under HKEY_CURRENT_USER byte for byte, which
// "reg query" cannot: it shows a string only up to its first zero.
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: reg_value SUBKEY NAME\n"
                   "Prints \"type=T size=N data=HEX\" for the value NAME of HKCU\\SUBKEY.\n"
                   "Exit status: 0 printed, 1 no such key or value, 2 bad arguments.\n",
                   stderr);
        return 2;
    }
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, argv[1], 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        std::fprintf(stderr, "reg_value: no key HKCU\\%s\n", argv[1]);
        return 1;
    }
    DWORD dwType = 0;
    DWORD cb = 0;
    LONG status = ::RegQueryValueExA(hKey, argv[2], nullptr, &dwType, nullptr, &cb);
    std::vector<BYTE> data(cb + 1);
    if (status == ERROR_SUCCESS)
        status = ::RegQueryValueExA(hKey, argv[2], nullptr, &dwType, data.data(), &cb);
    ::RegCloseKey(hKey);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "reg_value: no value %s (error %ld)\n", argv[2], status);
        return 1;
    }
    std::printf("type=%lu size=%lu data=", dwType, cb);
    for (DWORD i = 0; i < cb; ++i)
        std::printf("%02x", data[i]);
    std::printf("\n");
    return 0;
}
