#pragma once

#include "app/host_dialog.h"

// The host dialog running modally on a thread of its own, as in the program,
// while the test thread drives and watches it.
class CHostThread {
public:
    CHostThread();
    ~CHostThread();
    CHostThread(const CHostThread&) = delete;
    CHostThread& operator=(const CHostThread&) = delete;

    CTandivorexDlg& Dlg() { return *m_pDlg; }
    HWND Window() const { return m_hWnd; }
    // Returns once the host's loop has handled everything posted before.
    void Sync();
    // Ends the modal loop by the given command and waits for the thread.
    INT_PTR Stop(WPARAM nCommand = IDCANCEL);
    // Waits for the modal loop to end by itself.
    INT_PTR Join();

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    static LRESULT CALLBACK SinkProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CTandivorexDlg* m_pDlg;
    HWND m_hWnd;
    HWND m_hSink; // a window of the host's thread that signals markers
    HANDLE m_hThread;
    HANDLE m_hMarker;
    INT_PTR m_nResult;
};
