#pragma once

#include "app/host_dialog.h"
#include "tests/support/window_thread.h"

// The host dialog running modally on a thread of its own, as in the program,
// while the test thread drives and watches it.
class CHostThread {
public:
    // The timers' period is what one test checks; every other test sends the
    // ticks itself (Tick), so that it waits for no second to pass.
    enum Ticks { MANUAL_TICKS, TIMER_TICKS };
    explicit CHostThread(Ticks ticks = MANUAL_TICKS);
    ~CHostThread();
    CHostThread(const CHostThread&) = delete;
    CHostThread& operator=(const CHostThread&) = delete;

    CTandivorexDlg& Dlg() { return *m_pDlg; }
    HWND Window() const { return m_hWnd; }
    // Returns once the host's loop has handled everything posted before;
    // false if it has not within the time.
    bool Sync(DWORD dwTimeoutMs = 10000);
    // One tick of a timer, handled before this returns.
    void Tick(UINT_PTR nIDEvent);
    // A tick of each timer, in the order they were set.
    void TickBoth();
    // Ends the modal loop by the given command and waits for the thread.
    INT_PTR Stop(WPARAM nCommand = IDCANCEL);
    // Waits for the modal loop to end by itself.
    INT_PTR Join();

private:
    static HWND MakeSink(void* pThis);
    static void RunHost(void* pThis);
    static LRESULT CALLBACK SinkProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CTandivorexDlg* m_pDlg;
    HWND m_hWnd;
    HANDLE m_hMarker;
    INT_PTR m_nResult;
    Ticks m_ticks;
    bool m_bEnded;
    // Its window is a sink on the host's thread that signals markers.
    CWindowThread m_thread;
};
