#pragma once

#include "window_thread.h"

#include <mutex>
#include <string>
#include <vector>

// One call of Shell_NotifyIcon as the shell received it.
struct ShellCall {
    DWORD message; // NIM_ADD, NIM_MODIFY...
    std::string tip;
    HWND hWnd; // the icon is the owner's window and id together
    UINT uID;
};

// A stand-in for the shell's tray window that records every call of
// Shell_NotifyIcon made while it exists, and refuses the first ones if asked.
class CFakeTray {
public:
    explicit CFakeTray(int nRefusals);
    ~CFakeTray();
    CFakeTray(const CFakeTray&) = delete;
    CFakeTray& operator=(const CFakeTray&) = delete;

    // The calls the shell took, in order; the refused ones are only counted.
    std::vector<ShellCall> Taken();
    int m_nRefused = 0;

private:
    static HWND Make(void* pThis);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    int m_nRefusals;
    std::mutex m_lock;
    std::vector<ShellCall> m_taken;
    CWindowThread m_thread;
};
