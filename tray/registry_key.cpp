#include "registry_key.h"

namespace {

// Read, write and delete values; the key itself is never created.
const REGSAM KEY_ACCESS = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

} // namespace

CRegistryKey::CRegistryKey(HKEY hRoot, LPCSTR pszSubKey)
    : m_hKey(Open(hRoot, pszSubKey))
{
}

CRegistryKey::~CRegistryKey()
{
    ::RegCloseKey(m_hKey);
}

HKEY CRegistryKey::Open(HKEY hRoot, LPCSTR pszSubKey)
{
    if (hRoot == nullptr)
        return nullptr;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_ACCESS, &hKey) != ERROR_SUCCESS)
        return nullptr;
    return hKey;
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
