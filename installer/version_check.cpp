// Windows Installer compares only the first three fields of a version when it
// looks for related products, and this project counts releases in the fourth.
// This action makes the comparison whole.
#include "installer/msi_session.h"

namespace {

// The four fields of "a.b.c.d", missing ones 0; anything past a field's
// digits ends it.
void ParseVersion(const std::wstring& text, unsigned long (&fields)[4])
{
    size_t at = 0;
    for (unsigned long& field : fields) {
        field = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9')
            field = field * 10 + (text[at++] - L'0');
        if (at < text.size() && text[at] == L'.')
            ++at;
        else
            at = text.size();
    }
}

int CompareVersions(const std::wstring& a, const std::wstring& b)
{
    unsigned long x[4], y[4];
    ParseVersion(a, x);
    ParseVersion(b, y);
    for (int i = 0; i < 4; ++i) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

} // namespace

// Immediate, after FindRelatedProducts: of the installed products that the
// Upgrade table found at or below this version's first three fields, one that
// is newer by all four is reported in NEWERVERSIONFOUND, as a newer one by the
// first three is, and the launch condition refuses the install.
extern "C" UINT __stdcall FindNewerVersion(MSIHANDLE hInstall)
{
    const LPCWSTR ACTION = L"FindNewerVersion";
    std::wstring ours = GetProperty(hInstall, L"ProductVersion");
    std::wstring found = GetProperty(hInstall, L"OLDERVERSIONFOUND");
    for (size_t start = 0; start < found.size();) {
        size_t end = found.find(L';', start);
        if (end == std::wstring::npos)
            end = found.size();
        std::wstring code = found.substr(start, end - start);
        start = end + 1;
        WCHAR version[64] = {};
        DWORD cch = 64;
        if (::MsiGetProductInfoW(code.c_str(), L"VersionString", version, &cch) != ERROR_SUCCESS)
            continue;
        if (CompareVersions(version, ours) > 0) {
            Log(hInstall, ACTION, std::wstring(L"version ") + version + L" is installed, newer than " + ours);
            ::MsiSetPropertyW(hInstall, L"NEWERVERSIONFOUND", code.c_str());
        }
    }
    return ERROR_SUCCESS;
}
