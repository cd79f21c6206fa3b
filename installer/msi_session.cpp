#include "installer/msi_session.h"

std::wstring GetProperty(MSIHANDLE hInstall, LPCWSTR pszName)
{
    // Asked once for the length, then read whole: a list of product codes
    // has no useful upper bound.
    WCHAR empty[1] = {};
    DWORD cch = 0;
    if (::MsiGetPropertyW(hInstall, pszName, empty, &cch) != ERROR_MORE_DATA)
        return std::wstring();
    std::wstring value(cch + 1, L'\0');
    cch = static_cast<DWORD>(value.size());
    if (::MsiGetPropertyW(hInstall, pszName, &value[0], &cch) != ERROR_SUCCESS)
        return std::wstring();
    value.resize(cch);
    return value;
}

void Log(MSIHANDLE hInstall, LPCWSTR pszAction, const std::wstring& text)
{
    PMSIHANDLE hRecord = ::MsiCreateRecord(1);
    std::wstring line = std::wstring(pszAction) + L": " + text;
    // Field 0 is the record's format: a line with brackets in it would be
    // taken for properties to resolve.
    ::MsiRecordSetStringW(hRecord, 0, L"[1]");
    ::MsiRecordSetStringW(hRecord, 1, line.c_str());
    ::MsiProcessMessage(hInstall, INSTALLMESSAGE_INFO, hRecord);
}
