#pragma once

#include "dial_display.h"
#include "event_log.h"
#include "softphone_options.h"

#include <windows.h>

// The softphone's main window: logs what it receives and shows the dialling.
class CPhoneWindow {
public:
    explicit CPhoneWindow(CEventLog* pLog);
    ~CPhoneWindow();
    CPhoneWindow(const CPhoneWindow&) = delete;
    CPhoneWindow& operator=(const CPhoneWindow&) = delete;

    // Registers the class, creates and shows the window; FALSE on failure.
    BOOL Create(const CSoftphoneOptions& options);

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Refresh();

    CEventLog* m_pLog;
    CDialDisplay m_display;
    HWND m_hWnd;
    HWND m_hNumber;
    HWND m_hStatus;
    HWND m_hLastKey;
    HFONT m_hNumberFont;
    HFONT m_hTextFont;
    HBRUSH m_hLcdBrush;
};
