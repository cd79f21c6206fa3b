// AUTORUN=1, the upgrade's keeping of auto-start, and the uninstall's
// clean-up of the Run value. The deferred actions' CustomActionData starts
// with the installed Tandivorex.exe's path.
#include "installer/autorun_state.h"
#include "installer/installed_exe.h"
#include "installer/msi_session.h"

#include "tray/autorun_value.h"
#include "tray/registry_key.h"

#include <wchar.h>

namespace {

// The Run value as the menu writes it; 0 or the registry's error.
LONG WriteRunValue(MSIHANDLE hInstall, LPCWSTR pszAction, LPCWSTR pszExe)
{
    WCHAR szCommand[MAX_PATH];
    if (!MakeAutoRunCommand(pszExe, szCommand)) {
        Log(hInstall, pszAction, L"the path is too long for the Run value: ", pszExe);
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
        Log(hInstall, pszAction, L"the Run value could not be written, error ", error);
    }
    return rc;
}

} // namespace

// As choosing AutoRun in the menu: the same value, and Task Manager's
// switch-off, if any, removed. An install asked for auto-start fails rather
// than end without it.
extern "C" UINT __stdcall WriteAutoRun(MSIHANDLE hInstall)
{
    CMsiProperty exe(hInstall, L"CustomActionData");
    if (WriteRunValue(hInstall, L"WriteAutoRun", exe.m_psz) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    approved.DeleteValue(AUTORUN_VALUE);
    Log(hInstall, L"WriteAutoRun", L"auto-start is on for ", exe.m_psz);
    return ERROR_SUCCESS;
}

// Immediate, before an upgrade removes the older release or an uninstall
// removes this one: whether the user had auto-start on, and Task Manager's
// marker of it, in hex ("-" for none), as TandivorexKeepAutoRun. Windows tells
// the older release's uninstall that it is part of an upgrade
// (UPGRADINGPRODUCTCODE), and it then keeps the value; Wine's msiexec does
// not, and the value would go. An uninstall that fails after RemoveAutoRun
// puts the value back from it, by RestoreAutoRun as its rollback.
extern "C" UINT __stdcall RememberAutoRun(MSIHANDLE hInstall)
{
    CMsiProperty installDir(hInstall, L"INSTALLDIR");
    WCHAR exe[MAX_PATH * 2];
    if (!MakeInstalledExe(installDir.m_psz, exe) || !RunValuePointsAt(exe))
        return ERROR_SUCCESS;
    WCHAR kept[MARKER_TEXT_CCH];
    ReadStartupMarker(kept);
    ::MsiSetPropertyW(hInstall, L"TandivorexKeepAutoRun", kept);
    Log(hInstall, L"RememberAutoRun", L"auto-start is on, marker ", kept);
    return ERROR_SUCCESS;
}

// Deferred, after the upgrade's files are in, and as the uninstall's rollback
// of RemoveAutoRun: what RememberAutoRun found, put back where it was taken.
// Data: "PATH|MARKER".
extern "C" UINT __stdcall RestoreAutoRun(MSIHANDLE hInstall)
{
    CMsiProperty data(hInstall, L"CustomActionData");
    LPWSTR bar = ::wcsrchr(data.m_psz, L'|');
    if (bar == nullptr)
        return ERROR_SUCCESS;
    *bar = L'\0';
    LPCWSTR exe = data.m_psz, marker = bar + 1;
    if (RunValuePointsAt(exe))
        return ERROR_SUCCESS;
    if (WriteRunValue(hInstall, L"RestoreAutoRun", exe) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    WriteStartupMarker(marker);
    Log(hInstall, L"RestoreAutoRun", L"auto-start put back for ", exe);
    return ERROR_SUCCESS;
}

// On uninstall (not the removal an upgrade makes): the Run value goes, with
// Task Manager's marker of it, only when it starts the program being removed.
// A value the user pointed at another copy stays.
extern "C" UINT __stdcall RemoveAutoRun(MSIHANDLE hInstall)
{
    CMsiProperty exe(hInstall, L"CustomActionData");
    if (!RunValuePointsAt(exe.m_psz)) {
        Log(hInstall, L"RemoveAutoRun", L"no Run value starts ", exe.m_psz, L"; none removed");
        return ERROR_SUCCESS;
    }
    CRegistryKey run(HKEY_CURRENT_USER, RUN_KEY);
    run.DeleteValue(AUTORUN_VALUE);
    CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    approved.DeleteValue(AUTORUN_VALUE);
    Log(hInstall, L"RemoveAutoRun", L"auto-start removed");
    return ERROR_SUCCESS;
}
