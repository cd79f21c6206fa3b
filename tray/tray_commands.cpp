// The tray icon's menu and its commands, and the auto-start setting behind
// "AutoRun", as handlers of the host dialog.
#include "app/host_dialog.h"

#include "handset/qvusbtel.h"
#include "tray/about_dlg.h"
#include "tray/autorun_value.h"
#include "tray/registry_key.h"

namespace {

BOOL IsStartupDisabled()
{
    CRegistryKey key(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, CRegistryKey::READ_ONLY);
    BYTE approval[12] = {};
    DWORD dwType = REG_NONE;
    return key.ReadValue(AUTORUN_VALUE, &dwType, approval, sizeof approval) && dwType == REG_BINARY &&
           (approval[0] & 1) != 0;
}

} // namespace

void CTandivorexDlg::LoadAutoRun()
{
    CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY, CRegistryKey::READ_ONLY);
    // Any value that starts with a nonzero byte means on, whatever its type or
    // length. A value longer than our path buffer is read whole, so that it
    // is judged by its real first byte and never read past a buffer.
    BYTE pathSized[MAX_PATH] = {};
    DWORD cbData = key.ValueSize(AUTORUN_VALUE);
    BYTE* pData = cbData > sizeof pathSized
                      ? static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, cbData))
                      : nullptr;
    if (pData == nullptr) {
        // It fits the path buffer, or memory ran out and the read fails: off.
        pData = pathSized;
        cbData = sizeof pathSized;
    }
    if (!key.ReadValue(AUTORUN_VALUE, nullptr, pData, cbData))
        pData[0] = 0; // a failed read leaves the buffer undefined
    // Windows will not start a value that the user switched off: no check.
    m_bAutoRun = pData[0] != 0 && !IsStartupDisabled();
    if (pData != pathSized)
        ::HeapFree(::GetProcessHeap(), 0, pData);
    ::CheckMenuItem(m_hMenu, ID_TRAY_AUTORUN, m_bAutoRun ? MF_CHECKED : MF_UNCHECKED);
}

LRESULT CTandivorexDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    if (wParam != TRAY_ICON_ID)
        return -1;
    if (lParam == WM_RBUTTONDOWN) {
        POINT pt;
        ::GetCursorPos(&pt);
        // Without the foreground the menu would not close when the user
        // clicks elsewhere, and without the WM_NULL after it the next one
        // would close at once (the shell's documented requirement).
        ::SetForegroundWindow(m_hWnd);
        ::TrackPopupMenu(m_hMenu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
    return 1;
}

void CTandivorexDlg::OnTrayAbout()
{
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CTandivorexDlg::OnTrayAutoRun()
{
    // A fresh profile may have no Run key yet.
    CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY, CRegistryKey::CREATE);
    if (!m_bAutoRun) {
        // A path that does not fit whole is not stored at all.
        WCHAR szCommand[MAX_PATH];
        if (MakeAutoRunCommand(m_szModulePath, szCommand) &&
            key.WriteValueW(AUTORUN_VALUE_W, REG_SZ, reinterpret_cast<const BYTE*>(szCommand), sizeof szCommand)) {
            // The user has just asked for it: a switch-off left by Task
            // Manager or Settings would keep Windows from starting us all the
            // same.
            CRegistryKey approved(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
            approved.DeleteValue(AUTORUN_VALUE);
        }
    } else {
        key.DeleteValue(AUTORUN_VALUE);
    }
    // The mark shows what Windows will do at logon, not what was asked: a
    // write the registry refused leaves it as it was.
    LoadAutoRun();
}

void CTandivorexDlg::OnTrayExit()
{
    // Exit is the one way out that closes the library, open or not.
    QV_DeviceIoControl(QV_CODE_CLOSE, nullptr, nullptr, 0, 0, 0);
    ::PostQuitMessage(0);
}
