// Windows Installer compares only the first three fields of a version when it
// looks for related products, and this project counts releases in the fourth.
// This action makes the comparison whole.
#include "installer/msi_session.h"
#include "installer/product_version.h"

#include <wchar.h>

// Immediate, after FindRelatedProducts: of the installed products that the
// Upgrade table found at or below this version's first three fields, one that
// is newer by all four is reported in NEWERVERSIONFOUND, as a newer one by the
// first three is, and the launch condition refuses the install.
extern "C" UINT __stdcall FindNewerVersion(MSIHANDLE hInstall)
{
    const LPCWSTR ACTION = L"FindNewerVersion";
    CMsiProperty ours(hInstall, L"ProductVersion");
    CMsiProperty found(hInstall, L"OLDERVERSIONFOUND");
    // Product codes, separated by semicolons, each cut out in place.
    LPWSTR code = found.m_psz;
    while (code != nullptr) {
        LPWSTR next = ::wcschr(code, L';');
        if (next != nullptr)
            *next++ = L'\0';
        WCHAR version[64] = {};
        DWORD cch = 64;
        if (::MsiGetProductInfoW(code, L"VersionString", version, &cch) == ERROR_SUCCESS &&
            CompareVersions(version, ours.m_psz) > 0) {
            Log(hInstall, ACTION, L"version ", version, L" is installed, newer than ", ours.m_psz);
            ::MsiSetPropertyW(hInstall, L"NEWERVERSIONFOUND", code);
        }
        code = next;
    }
    return ERROR_SUCCESS;
}
