#pragma once

#include <windows.h>

#include <vector>

// One command-line request to a running device. Every method prints what went
// wrong to stderr and returns false, so main only has to pick the exit code.
class CDeviceClient {
public:
    bool Connect();
    bool SetPlugged(bool plugged);
    bool SendEvent(int type, int value, const char* what);
    bool PrintStatus();
    bool PrintCommands(bool clear);
    bool Quit();

private:
    bool Request(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    bool Check(LRESULT result, const char* what);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hDevice = nullptr;
    std::vector<DWORD> m_reply;
    bool m_replied = false;
};
