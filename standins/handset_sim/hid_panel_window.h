#pragma once

#include <windows.h>

extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

struct VirtualPhoneModel;

// The virtual USB telephony device as a person sees it: plugged in or not, its
// key pad, its hook switch and its lamps. Its keys become input reports the
// device sends, built by hid.dll from the device's own descriptor; its lamps
// are read from the output reports a program wrote to it.
class CHidPanelWindow {
public:
    explicit CHidPanelWindow(const VirtualPhoneModel* pModel);
    ~CHidPanelWindow();
    CHidPanelWindow(const CHidPanelWindow&) = delete;
    CHidPanelWindow& operator=(const CHidPanelWindow&) = delete;

    // Shows the panel until it is closed, then unplugs a device it plugged in;
    // returns the exit code.
    static int Run(const VirtualPhoneModel* pModel);

private:
    BOOL Create();
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id);
    void OnTimer();

    HWND AddControl(const char* className, const char* text, DWORD style, int id, const RECT& rc);
    void TogglePlug();
    BOOL OpenParsedData();
    void FreeParsedData();
    BOOL SendKeys(USAGE key);
    void TakeLamps();
    void ShowState();

    const VirtualPhoneModel* m_pModel;
    HWND m_hWnd;
    HWND m_hStatus;
    HWND m_hPlug;
    HWND m_hHook;
    HWND m_hLampName;
    HWND m_hLampDetail;
    HFONT m_hFont;
    HFONT m_hLampFont;
    PHIDP_PREPARSED_DATA m_pData;
    HIDP_CAPS m_caps;
    BOOL m_bPlugged;
    BOOL m_bOffHook;
    USAGE m_aLamps[16]; // the LED usages lit, in no order
    ULONG m_nLamps;
};
