#pragma once

#include <windows.h>

// A registry key opened for the length of one handler and closed with it.
// Every operation reports 1 for success and 0 for failure.
class CRegistryKey {
public:
    // READ_ONLY: values read; READ_WRITE: also written and deleted; CREATE:
    // as READ_WRITE, and the key made when it is missing.
    enum Access { READ_ONLY, READ_WRITE, CREATE };

    CRegistryKey(HKEY hRoot, LPCSTR pszSubKey, Access access = READ_WRITE);
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    static HKEY Open(HKEY hRoot, LPCSTR pszSubKey, Access access);
    int ReadValue(LPCSTR pszName, LPDWORD pdwType, LPBYTE pData, DWORD cbData);
    int WriteValue(LPCSTR pszName, DWORD dwType, const BYTE* pData, DWORD cbData);
    int WriteValueW(LPCWSTR pszName, DWORD dwType, const BYTE* pData, DWORD cbData);
    int DeleteValue(LPCSTR pszName);
    DWORD ValueSize(LPCSTR pszName);

    HKEY m_hKey;
};
