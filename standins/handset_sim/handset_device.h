#pragma once

#include "standins/handset_sim/handset_protocol.h"

#include <windows.h>

#include <deque>

// The simulated handset: plugged in or not, opened by the library or not, and
// a log of every code the library sent it, with the time it came. Lives on one thread with a
// message-only window that the library and the command-line clients talk to.
class CHandsetDevice {
public:
    // Runs the device until a client tells it to quit; returns the exit code.
    // With a log path, every event delivered is appended to it with the
    // QueryPerformanceCounter time at which it went out, for latency measurements.
    static int Serve(BOOL bPlugged, const char* pszLogPath);

private:
    explicit CHandsetDevice(BOOL bPlugged) : m_bPlugged(bPlugged) {}

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnIoControl(DWORD code, HWND hLibrary);
    LRESULT OnSetPlugged(BOOL bPlugged);
    LRESULT OnSendEvent(int type, int value);
    LRESULT OnGetStatus();
    LRESULT OnGetCommands(HWND hReply, BOOL bClear);
    LRESULT OnGetCommandLog(HWND hReply, DWORD lastSeen);
    LRESULT Reply(HWND hReply, ULONG_PTR tag, const void* pData, size_t size);
    LRESULT Deliver(HWND hLibrary, int type, int value);
    void LogEvent(LONGLONG sentAt, int type, int value);
    BOOL IsOpen();

    HWND m_hWnd = nullptr;
    BOOL m_bPlugged;
    HWND m_hLibrary = nullptr; // the library's event window while it has the device open
    std::deque<handset_protocol::CommandRecord> m_commands;
    DWORD m_dwLastSerial = 0;
    HANDLE m_hLog = INVALID_HANDLE_VALUE;
};
