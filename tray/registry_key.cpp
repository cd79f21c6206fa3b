#include "registry_key.h"

CRegistryKey::CRegistryKey(HKEY hRoot, LPCSTR pszSubKey, Access access)
    : m_hKey(Open(hRoot, pszSubKey, access))
{
}

CRegistryKey::~CRegistryKey()
{
    ::RegCloseKey(m_hKey);
}

HKEY CRegistryKey::Open(HKEY hRoot, LPCSTR pszSubKey, Access access)
{
    if (hRoot == nullptr)
        return nullptr;
    // Only what is asked for: a key the user may read but not write (a
    // policy's, or one locked by an administrator) still opens for reading.
    const REGSAM sam = access == READ_ONLY ? KEY_READ : KEY_READ | KEY_SET_VALUE;
    HKEY hKey = nullptr;
    LONG rc = access == CREATE
                  ? ::RegCreateKeyExA(hRoot, pszSubKey, 0, nullptr, 0, sam, nullptr, &hKey, nullptr)
                  : ::RegOpenKeyExA(hRoot, pszSubKey, 0, sam, &hKey);
    return rc == ERROR_SUCCESS ? hKey : nullptr;
}

int CRegistryKey::ReadValue(LPCSTR pszName, LPDWORD pdwType, LPBYTE pData, DWORD cbData)
{
    if (pData == nullptr)
        return 0;
    // The platform writes at most cbData bytes; a longer value fails to read.
    DWORD cb = cbData;
    return ::RegQueryValueExA(m_hKey, pszName, nullptr, pdwType, pData, &cb) == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryKey::WriteValue(LPCSTR pszName, DWORD dwType, const BYTE* pData, DWORD cbData)
{
    if (pData == nullptr)
        return 0;
    return ::RegSetValueExA(m_hKey, pszName, 0, dwType, pData, cbData) == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryKey::WriteValueW(LPCWSTR pszName, DWORD dwType, const BYTE* pData, DWORD cbData)
{
    if (pData == nullptr)
        return 0;
    return ::RegSetValueExW(m_hKey, pszName, 0, dwType, pData, cbData) == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryKey::DeleteValue(LPCSTR pszName)
{
    return ::RegDeleteValueA(m_hKey, pszName) == ERROR_SUCCESS ? 1 : 0;
}

DWORD CRegistryKey::ValueSize(LPCSTR pszName)
{
    DWORD cb = 0;
    if (::RegQueryValueExA(m_hKey, pszName, nullptr, nullptr, nullptr, &cb) != ERROR_SUCCESS)
        return 0;
    return cb;
}
