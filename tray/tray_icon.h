#pragma once

#include <windows.h>
#include <shellapi.h>

// What the icon shows: a picture and a tip.
struct TrayStatus {
    UINT nIconId;
    LPCSTR pszTip;
};

extern const TrayStatus STATUS_NO_DEVICE;
extern const TrayStatus STATUS_NO_PHONE;
extern const TrayStatus STATUS_CONNECTED;

// A status picture at the size the notification area asks for, loaded once.
HICON LoadTrayPicture(UINT nResourceId);

// The program's one notification-area icon, kept in one record that is reused
// for every call and removed when its owner goes. A call to the shell is made
// only when what is shown changes, and repeated on later ticks until the
// shell takes it.
class CTrayIcon {
public:
    CTrayIcon();
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    BOOL Add(HWND hWnd, UINT uCallbackMessage, HICON hIcon, LPCSTR pszTip, UINT uID);
    void ShowStatus(const TrayStatus& status);
    // Once a tick: repeats a call the shell refused.
    void Refresh();
    // The shell has forgotten the icon (its task bar was made anew).
    BOOL Restore();

    NOTIFYICONDATAA m_nid;
    BOOL m_bAdded;   // the shell has the icon
    BOOL m_bCurrent; // ... with the picture and tip in the record

private:
    BOOL Update();
    void CopyTip(LPCSTR pszTip);

    UINT m_nIconId; // the status picture in the record, 0 for none
};
