#include "tray_icon.h"

#include "afx/win_app.h"
#include "res/resource.h"

// The record as the shell of Windows 2000 and later reads it: up to the
// balloon fields, with a 128-character tip. 488 bytes on 32-bit.
const DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V2_SIZE;
#ifdef _WIN64
static_assert(NOTIFYICONDATAA_V2_SIZE == 504, "the same layout with 64-bit handles");
#else
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "the shell's V2 record is 488 bytes on 32-bit");
#endif

const TrayStatus STATUS_NO_DEVICE = {IDI_NO_DEVICE, "Can't find USB device"};
const TrayStatus STATUS_NO_PHONE = {IDI_NO_PHONE, "Can't find software phone"};
const TrayStatus STATUS_CONNECTED = {IDR_MAINFRAME, "Connect successfully"};

CTrayIcon::CTrayIcon()
{
    ::ZeroMemory(&m_nid, sizeof m_nid);
}

CTrayIcon::~CTrayIcon()
{
    // The shell finds the icon by window and id; the result does not matter.
    ::Shell_NotifyIconA(NIM_DELETE, &m_nid);
}

BOOL CTrayIcon::Add(HWND hWnd, UINT uCallbackMessage, HICON hIcon, LPCSTR pszTip, UINT uID)
{
    m_nid.cbSize = TRAY_RECORD_SIZE;
    m_nid.hWnd = hWnd;
    m_nid.uID = uID;
    m_nid.uCallbackMessage = uCallbackMessage;
    m_nid.hIcon = hIcon;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyTip(pszTip);
    return ::Shell_NotifyIconA(NIM_ADD, &m_nid);
}

BOOL CTrayIcon::SetIcon(UINT nResourceId)
{
    LPCSTR lpszName = MAKEINTRESOURCEA(LOWORD(nResourceId));
    m_nid.hIcon = ::LoadIconA(AfxFindResourceHandle(lpszName, RT_GROUP_ICON), lpszName);
    m_nid.uFlags = NIF_ICON;
    return ::Shell_NotifyIconA(NIM_MODIFY, &m_nid);
}

BOOL CTrayIcon::SetTip(LPCSTR pszTip)
{
    CopyTip(pszTip);
    m_nid.uFlags = NIF_TIP;
    return ::Shell_NotifyIconA(NIM_MODIFY, &m_nid);
}

void CTrayIcon::ShowStatus(const TrayStatus& status)
{
    SetIcon(status.nIconId);
    SetTip(status.pszTip);
}

BOOL CTrayIcon::Restore()
{
    // A restarted task bar has forgotten the icon; the record still holds the
    // picture and tip last shown, so the status comes back as it was.
    if (m_nid.hWnd == nullptr)
        return FALSE;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return ::Shell_NotifyIconA(NIM_ADD, &m_nid);
}

void CTrayIcon::CopyTip(LPCSTR pszTip)
{
    // Bounded and always terminated, whatever the caller passes.
    ::lstrcpynA(m_nid.szTip, pszTip != nullptr ? pszTip : "", sizeof m_nid.szTip);
}
