#pragma once

#include "standins/handset_sim/device_link.h"
#include "standins/handset_sim/handset_input.h"

#include <windows.h>

#include <vector>

// The handset as a person sees it: its keys as buttons, its lamp, whether it is
// plugged in and opened, and every command it received, newest on top. One more
// client of the device, so the command line and other panels work beside it.
class CPanelWindow {
public:
    CPanelWindow();
    ~CPanelWindow();
    CPanelWindow(const CPanelWindow&) = delete;
    CPanelWindow& operator=(const CPanelWindow&) = delete;

    // Starts an unplugged device if none runs, then shows the panel until it is
    // closed; returns the exit code.
    static int Run();

private:
    struct Key {
        HWND hButton;
        const char* name;
        const char* label;
        HandsetEvent event;
    };

    BOOL Create();
    BOOL PreTranslateMessage(const MSG& msg);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id);
    void OnTimer(UINT_PTR id);
    void OnPaint();
    HBRUSH OnCtlColorStatic(HDC hdc, HWND hControl);

    HWND AddControl(const char* className, const char* text, DWORD style, int id, const RECT& rc, HFONT hFont);
    void Press(Key& key, BOOL bFromKeyboard);
    void TogglePlug();
    void Poll();
    void ShowNoDevice();
    void AddCommands(const std::vector<handset_protocol::CommandRecord>& records);
    void SetLamp(COLORREF lamp);
    static void SetText(HWND hWnd, const char* text);

    CDeviceLink m_link;
    HWND m_hWnd;
    HWND m_hStatus;
    HWND m_hPlug;
    HWND m_hLampName;
    HWND m_hLampDetail;
    HWND m_hMessage;
    HWND m_hCommands;
    HWND m_hFlashed; // a key pressed from the keyboard, shown down for a moment
    std::vector<Key> m_keys;
    BOOL m_bPlugged;
    COLORREF m_crLamp;
    HFONT m_hTextFont;
    HFONT m_hKeyFont;
    HFONT m_hLampFont;
    HFONT m_hListFont;
};
