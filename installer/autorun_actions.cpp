// AUTORUN=1, the upgrade's keeping of auto-start, and the uninstall's
// clean-up of the Run value. The deferred actions' CustomActionData starts
// with the installed Tandivorex.exe's path.
#include "installer/msi_session.h"

#include "tray/autorun_value.h"
#include "tray/registry_key.h"

namespace {

// Whether the Run value names just this program, quoted or not (the program
// has no command-line options, so anything more is someone else's).
BOOL RunValuePointsAt(const std::wstring& exe)
{
    CRegistryKey run(HKEY_CURRENT_USER, RUN_KEY);
    // Room for our 260 characters and a NUL: a longer value is not ours.
    WCHAR data[MAX_PATH + 1] = {};
    DWORD cb = sizeof data - sizeof(WCHAR);
    DWORD type = REG_NONE;
    if (run.m_hKey == nullptr ||
        ::RegQueryValueExW(run.m_hKey, AUTORUN_VALUE_W, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return FALSE;
    std::wstring command(data);
    if (command.size() >= 2 && command.front() == L'"' && command.back() == L'"')
        command = command.substr(1, command.size() - 2);
    return ::lstrcmpiW(command.c_str(), exe.c_str()) == 0;
}

// The Run value as the menu writes it; 0 or the registry's error.
LONG WriteRunValue(MSIHANDLE hInstall, LPCWSTR pszAction, const std::wstring& exe)
{
    WCHAR szCommand[MAX_PATH];
    if (!MakeAutoRunCommand(exe.c_str(), szCommand)) {
        Log(hInstall, pszAction, L"the path is too long for the Run value: " + exe);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    HKEY hRun = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hRun, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = ::RegSetValueExW(hRun, AUTORUN_VALUE_W, 0, REG_SZ, reinterpret_cast<const BYTE*>(szCommand),
                              sizeof szCommand);
        ::RegCloseKey(hRun);
    }
    if (rc != ERROR_SUCCESS) {
        WCHAR error[16];
        ::wsprintfW(error, L"%ld", rc);
        Log(hInstall, pszAction, std::wstring(L"the Run value could not be written, error ") + error);
    }
    return rc;
}

const WCHAR HEX[] = L"0123456789abcdef";

} // namespace

// As choosing AutoRun in the menu: the same value, and Task Manager's
// switch-off, if any, removed. An install asked for auto-start fails rather
// than end without it.
extern "C" UINT __stdcall WriteAutoRun(MSIHANDLE hInstall)
{
    std::wstring exe = GetProperty(hInstall, L"CustomActionData");
    if (WriteRunValue(hInstall, L"WriteAutoRun", exe) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    approved.DeleteValue(AUTORUN_VALUE);
    Log(hInstall, L"WriteAutoRun", L"auto-start is on for " + exe);
    return ERROR_SUCCESS;
}

// Immediate, in an upgrade, before the older release is removed: whether its
// user had auto-start on, and Task Manager's marker of it, in hex ("-" for
// none), as TandivorexKeepAutoRun. Windows tells the older release's
// uninstall that it is part of an upgrade (UPGRADINGPRODUCTCODE), and it
// then keeps the value; Wine's msiexec does not, and the value would go.
extern "C" UINT __stdcall RememberAutoRun(MSIHANDLE hInstall)
{
    std::wstring exe = GetProperty(hInstall, L"INSTALLDIR") + L"Tandivorex.exe";
    if (!RunValuePointsAt(exe))
        return ERROR_SUCCESS;
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    BYTE marker[12] = {};
    DWORD type = REG_NONE;
    DWORD cb = sizeof marker;
    std::wstring kept = L"-";
    if (approved.m_hKey != nullptr &&
        ::RegQueryValueExA(approved.m_hKey, AUTORUN_VALUE, nullptr, &type, marker, &cb) == ERROR_SUCCESS &&
        type == REG_BINARY) {
        kept.clear();
        for (DWORD i = 0; i < cb; ++i) {
            kept += HEX[marker[i] >> 4];
            kept += HEX[marker[i] & 15];
        }
    }
    ::MsiSetPropertyW(hInstall, L"TandivorexKeepAutoRun", kept.c_str());
    Log(hInstall, L"RememberAutoRun", L"auto-start was on; kept through the upgrade");
    return ERROR_SUCCESS;
}

// Deferred, after the upgrade's files are in: what RememberAutoRun found, put
// back where the older release's uninstall took it. Data: "PATH|MARKER".
extern "C" UINT __stdcall RestoreAutoRun(MSIHANDLE hInstall)
{
    std::wstring data = GetProperty(hInstall, L"CustomActionData");
    size_t bar = data.rfind(L'|');
    if (bar == std::wstring::npos)
        return ERROR_SUCCESS;
    std::wstring exe = data.substr(0, bar), marker = data.substr(bar + 1);
    if (RunValuePointsAt(exe))
        return ERROR_SUCCESS;
    if (WriteRunValue(hInstall, L"RestoreAutoRun", exe) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    BYTE bytes[12];
    DWORD cb = 0;
    for (size_t i = 0; i + 1 < marker.size() && cb < sizeof bytes; i += 2) {
        const WCHAR* hi = ::wcschr(HEX, marker[i]);
        const WCHAR* lo = ::wcschr(HEX, marker[i + 1]);
        if (hi == nullptr || lo == nullptr)
            break;
        bytes[cb++] = static_cast<BYTE>(((hi - HEX) << 4) | (lo - HEX));
    }
    if (cb > 0) {
        HKEY hApproved = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &hApproved, nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExA(hApproved, AUTORUN_VALUE, 0, REG_BINARY, bytes, cb);
            ::RegCloseKey(hApproved);
        }
    }
    Log(hInstall, L"RestoreAutoRun", L"auto-start put back for " + exe);
    return ERROR_SUCCESS;
}

// On uninstall (not the removal an upgrade makes): the Run value goes, with
// Task Manager's marker of it, only when it starts the program being removed.
// A value the user pointed at another copy stays.
extern "C" UINT __stdcall RemoveAutoRun(MSIHANDLE hInstall)
{
    std::wstring exe = GetProperty(hInstall, L"CustomActionData");
    if (!RunValuePointsAt(exe)) {
        Log(hInstall, L"RemoveAutoRun", L"no Run value starts " + exe + L"; none removed");
        return ERROR_SUCCESS;
    }
    CRegistryKey run(HKEY_CURRENT_USER, RUN_KEY);
    run.DeleteValue(AUTORUN_VALUE);
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    approved.DeleteValue(AUTORUN_VALUE);
    Log(hInstall, L"RemoveAutoRun", L"auto-start removed");
    return ERROR_SUCCESS;
}
