#pragma once

#include "handset/qvusbtel.h"
#include "hid/hid_phone.h"

// The library's thread, from the first open to close: a message-only window
// told of every HID device that arrives, so that an open with nothing new
// plugged in need not look again, and, once a phone is attached, the
// overlapped reading of its input reports, whose events it calls back with.
class CPhoneThread {
public:
    // Returns once the watch for arriving devices is in place; null if the
    // thread cannot start.
    static CPhoneThread* Start();

    // Whether a HID device has arrived since the last call; TRUE the first time.
    BOOL TakeArrival() { return ::InterlockedExchange(&m_lArrived, 0) != 0; }

    // Hands over the opened phone, to be read and reported from until Stop.
    // Once for each thread.
    void Attach(CHidPhone* pPhone, QV_HANDSET_CALLBACK callback, void* context);
    CHidPhone* Phone() const { return m_pPhone; }
    // Whether its phone has gone (its lost event reported).
    BOOL IsLost() const { return m_lLost != 0; }

    // No callback starts after this; it returns once a running one has,
    // unless called from the callback itself. Frees the object and the
    // phone, now or as its thread ends.
    void Stop();

private:
    CPhoneThread();
    ~CPhoneThread();
    static DWORD WINAPI ThreadMain(void* pParam);
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Run();
    BOOL CreateWatch();
    void ReadNext();
    void OnReadDone();
    void OnDeviceLost();
    void EndReading();
    void Report(int type, int value);

    QV_HANDSET_CALLBACK m_pfnCallback = nullptr;
    void* m_pContext = nullptr;
    CHidPhone* m_pPhone = nullptr;
    IoSlot* m_pRead = nullptr; // the read in flight, while reading
    HMODULE m_hModule = nullptr;
    HANDLE m_hReady = nullptr;
    HANDLE m_hStop = nullptr;
    HANDLE m_hAttached = nullptr;
    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    HWND m_hWnd = nullptr;
    HDEVNOTIFY m_hNotify = nullptr;
    volatile LONG m_lArrived = 1;
    volatile LONG m_lStopped = 0;
    BOOL m_bDetached = FALSE; // stopped from its own thread, which then frees the object
    volatile LONG m_lLost = 0;
};
