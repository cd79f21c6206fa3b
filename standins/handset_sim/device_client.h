#pragma once

#include <windows.h>

#include <vector>

// One command-line request to a running device. Every method prints what went
// wrong to stderr and returns FALSE, so main only has to pick the exit code.
class CDeviceClient {
public:
    BOOL Connect();
    BOOL SetPlugged(BOOL bPlugged);
    BOOL SendEvent(int type, int value, const char* what);
    BOOL PrintStatus();
    BOOL PrintCommands(BOOL bClear);
    BOOL Quit();

private:
    BOOL Request(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL Check(LRESULT result, const char* what);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hDevice = nullptr;
    std::vector<DWORD> m_reply;
    BOOL m_bReplied = FALSE;
};
