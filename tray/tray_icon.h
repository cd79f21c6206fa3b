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

// The program's one notification-area icon, kept in one record that is reused
// for every call and removed when its owner goes.
class CTrayIcon {
public:
    CTrayIcon();
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    BOOL Add(HWND hWnd, UINT uCallbackMessage, HICON hIcon, LPCSTR pszTip, UINT uID);
    BOOL SetIcon(UINT nResourceId);
    BOOL SetTip(LPCSTR pszTip);
    void ShowStatus(const TrayStatus& status);
    BOOL Restore();

    NOTIFYICONDATAA m_nid;

private:
    void CopyTip(LPCSTR pszTip);
};
