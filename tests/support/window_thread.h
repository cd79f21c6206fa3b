#pragma once

#include <windows.h>

// A window made and served by a thread of its own, as another program's
// window would be: the thread makes the window, the constructor returns once
// it exists, the thread serves it (a message loop, unless the owner gives its
// own) until it is destroyed, and the destructor closes it and joins.
// Held as its owner's last member, so that it starts after and ends before
// everything else the thread uses, unless the owner calls Close first.
class CWindowThread {
public:
    // On the new thread: make the window (null if it cannot be made).
    typedef HWND (*MakeFn)(void* pOwner);
    // On the new thread, once the window is made: serve it until it goes.
    typedef void (*ServeFn)(void* pOwner);

    CWindowThread(MakeFn pfnMake, void* pOwner, ServeFn pfnServe = nullptr);
    ~CWindowThread();
    CWindowThread(const CWindowThread&) = delete;
    CWindowThread& operator=(const CWindowThread&) = delete;

    HWND Window() const { return m_hWnd; }
    // Waits for the thread to end by itself; false if it has not in time.
    bool Join(DWORD dwTimeoutMs);
    // Closes the window (WM_CLOSE) and waits for the thread.
    void Close();

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);

    MakeFn m_pfnMake;
    ServeFn m_pfnServe;
    void* m_pOwner;
    HWND m_hWnd;
    HANDLE m_hMade;
    HANDLE m_hThread;
};
