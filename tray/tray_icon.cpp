#include "tray_icon.h"

#include <strsafe.h>

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

HICON LoadTrayPicture(UINT nResourceId)
{
    // Shared, so loaded once and never destroyed; at the small-icon size, so
    // the frame drawn for the display's scale is used rather than stretched.
    LPCSTR lpszName = MAKEINTRESOURCEA(LOWORD(nResourceId));
    return static_cast<HICON>(::LoadImageA(AfxFindResourceHandle(lpszName, RT_GROUP_ICON), lpszName, IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           LR_SHARED));
}

CTrayIcon::CTrayIcon()
    : m_bAdded(FALSE)
    , m_bCurrent(FALSE)
    , m_nIconId(0)
{
    ::ZeroMemory(&m_nid, sizeof m_nid);
}

CTrayIcon::~CTrayIcon()
{
    // The shell finds the icon by window and id; the result does not matter.
    if (m_nid.hWnd != nullptr)
        ::Shell_NotifyIconA(NIM_DELETE, &m_nid);
}

BOOL CTrayIcon::Add(HWND hWnd, UINT uCallbackMessage, HICON hIcon, LPCSTR pszTip, UINT uID)
{
    m_nid.cbSize = TRAY_RECORD_SIZE;
    m_nid.hWnd = hWnd;
    m_nid.uID = uID;
    m_nid.uCallbackMessage = uCallbackMessage;
    m_nid.hIcon = hIcon;
    m_nIconId = 0; // a picture of the caller's, not one of the statuses
    CopyTip(pszTip);
    return Update();
}

void CTrayIcon::ShowStatus(const TrayStatus& status)
{
    LPCSTR pszTip = status.pszTip != nullptr ? status.pszTip : "";
    // Showing the same status again changes nothing on screen: no call. It is
    // told by the picture's id rather than its handle, since the status is
    // shown again every second and looking the picture up costs more than all
    // the rest of a tick.
    if (status.nIconId == m_nIconId && ::lstrcmpA(pszTip, m_nid.szTip) == 0 && m_bCurrent)
        return;
    m_nIconId = status.nIconId;
    m_nid.hIcon = LoadTrayPicture(status.nIconId);
    CopyTip(pszTip);
    m_bCurrent = FALSE;
    Update();
}

void CTrayIcon::Refresh()
{
    if (!m_bCurrent && m_nid.hWnd != nullptr)
        Update();
}

BOOL CTrayIcon::Restore()
{
    // The record still holds the picture and tip last shown, so the status
    // comes back as it was.
    if (m_nid.hWnd == nullptr)
        return FALSE;
    m_bAdded = FALSE;
    return Update();
}

BOOL CTrayIcon::Update()
{
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (!m_bAdded) {
        // The shell refuses calls while it is busy, as at logon, when a program
        // started from the Run key comes up; it says to try again. An add that
        // timed out may have got through, which a change then finds.
        m_bAdded = ::Shell_NotifyIconA(NIM_ADD, &m_nid) || ::Shell_NotifyIconA(NIM_MODIFY, &m_nid);
        m_bCurrent = m_bAdded;
    } else {
        m_bCurrent = ::Shell_NotifyIconA(NIM_MODIFY, &m_nid);
    }
    return m_bCurrent;
}

void CTrayIcon::CopyTip(LPCSTR pszTip)
{
    // Bounded and always terminated, whatever the caller passes; a longer tip
    // is cut short.
    static_cast<void>(::StringCchCopyA(m_nid.szTip, sizeof m_nid.szTip, pszTip != nullptr ? pszTip : ""));
}
