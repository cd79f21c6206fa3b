#pragma once

#include "afx/afxwin.h"
#include "app/outside_interface.h"
#include "bridge/key_bridge.h"
#include "handset/handset_callback.h"
#include "res/resource.h"
#include "tray/tray_icon.h"

const UINT_PTR TIMER_OPEN_DEVICE = 257;
const UINT_PTR TIMER_FIND_PHONE = 258;

// The hidden dialog that owns all run-time state and handles every event.
class CTandivorexDlg : public CDialog {
public:
    explicit CTandivorexDlg(CWnd* pParent = nullptr);
    ~CTandivorexDlg() override;

    HMENU m_hMenu;
    CKeyBridge m_bridge;
    BOOL m_bPhoneKnown;
    int m_bDeviceOpen;
    WCHAR m_szModulePath[MAX_PATH];
    BOOL m_bAutoRun;
    CTrayIcon m_tray;
    HWND m_hPhoneWnd;
    HICON m_hIcon;

protected:
    BOOL OnInitDialog() override;
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnHandsetEvent(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    LRESULT OnPhoneState(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnTrayAbout();
    void OnTrayAutoRun();
    void OnTrayExit();

private:
    BOOL IsPhoneRecorded();
    void LoadAutoRun();

    DECLARE_MESSAGE_MAP()
};
