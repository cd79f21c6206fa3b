#pragma once

#include "handset/qvusbtel.h"

// One open of the device: a thread of the library's own, with a message-only
// window the device sends events to, calling the program's callback for each.
// It also watches the device process, so that a device that dies counts as lost.
class CEventThread {
public:
    // Takes over hDeviceProcess (may be null). Returns null if the thread cannot start.
    static CEventThread* Start(QV_HANDSET_CALLBACK callback, void* context, HANDLE hDeviceProcess);

    HWND Window() const { return m_hWnd; }

    // No callback starts after this; it returns once a running one has, unless
    // called from the callback itself. Frees the object, now or as its thread ends.
    void Stop();

private:
    CEventThread(QV_HANDSET_CALLBACK callback, void* context, HANDLE hDeviceProcess);
    ~CEventThread();

    static DWORD WINAPI ThreadMain(void* pParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Run();
    int Report(int type, int value);

    QV_HANDSET_CALLBACK m_pfnCallback;
    void* m_pContext;
    HANDLE m_hDeviceProcess;
    HMODULE m_hModule = nullptr;
    HANDLE m_hReady = nullptr;
    HANDLE m_hStop = nullptr;
    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    HWND m_hWnd = nullptr;
    volatile LONG m_bStopped = 0;
    BOOL m_bDetached = FALSE; // stopped from its own thread, which then frees the object
    BOOL m_bLost = FALSE;     // the device said it is gone, so its process ending adds nothing
};
