#include "installer/msi_session.h"

#include <strsafe.h>

CMsiProperty::CMsiProperty(MSIHANDLE hInstall, LPCWSTR pszName)
    : m_psz(m_szEmpty), m_szEmpty()
{
    // Asked once for the length, then read whole; a length that no string
    // can have is an error, as the size in bytes must not wrap.
    DWORD cch = 0;
    if (::MsiGetPropertyW(hInstall, pszName, m_szEmpty, &cch) != ERROR_MORE_DATA || cch >= STRSAFE_MAX_CCH)
        return;
    LPWSTR psz = static_cast<LPWSTR>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, (cch + 1) * sizeof(WCHAR)));
    if (psz == nullptr)
        return;
    ++cch;
    if (::MsiGetPropertyW(hInstall, pszName, psz, &cch) != ERROR_SUCCESS) {
        ::HeapFree(::GetProcessHeap(), 0, psz);
        return;
    }
    m_psz = psz;
}

CMsiProperty::~CMsiProperty()
{
    if (m_psz != m_szEmpty)
        ::HeapFree(::GetProcessHeap(), 0, m_psz);
}

void Log(MSIHANDLE hInstall, LPCWSTR pszAction, LPCWSTR pszText, LPCWSTR pszText2, LPCWSTR pszText3,
         LPCWSTR pszText4)
{
    const LPCWSTR pieces[] = {pszAction, L": ", pszText, pszText2, pszText3, pszText4};
    size_t cchLine = 1;
    for (LPCWSTR piece : pieces) {
        size_t cch = 0;
        if (piece != nullptr && SUCCEEDED(::StringCchLengthW(piece, STRSAFE_MAX_CCH, &cch)))
            cchLine += cch;
    }
    // StringCch* takes no longer buffer, and the size in bytes must not wrap.
    if (cchLine > STRSAFE_MAX_CCH)
        return;
    LPWSTR line = static_cast<LPWSTR>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, cchLine * sizeof(WCHAR)));
    if (line == nullptr)
        return;
    for (LPCWSTR piece : pieces) {
        if (piece != nullptr)
            static_cast<void>(::StringCchCatW(line, cchLine, piece));
    }
    PMSIHANDLE hRecord = ::MsiCreateRecord(1);
    // Field 0 is the record's format: a line with brackets in it would be
    // taken for properties to resolve.
    ::MsiRecordSetStringW(hRecord, 0, L"[1]");
    ::MsiRecordSetStringW(hRecord, 1, line);
    ::MsiProcessMessage(hInstall, INSTALLMESSAGE_INFO, hRecord);
    ::HeapFree(::GetProcessHeap(), 0, line);
}
