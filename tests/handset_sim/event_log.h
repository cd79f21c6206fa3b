#pragma once

#include <windows.h>

#include <vector>

// What the library's callback was given, and on which thread; the context the
// tests hand to QV_DeviceIoControl.
class CEventLog {
public:
    struct Entry {
        int type;
        int value;
        DWORD threadId;
    };

    CEventLog();
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    static int WINAPI Callback(int type, int value, void* context);

    // Makes the callback linger, to catch a close that does not wait for it.
    void SetDelay(DWORD ms) { m_delayMs = ms; }
    // Signalled when a callback starts, before its delay.
    HANDLE Entered() const { return m_hEntered; }

    std::vector<Entry> Entries();
    bool WaitForCount(size_t count, DWORD timeoutMs);

private:
    CRITICAL_SECTION m_cs;
    std::vector<Entry> m_entries;
    volatile DWORD m_delayMs = 0;
    HANDLE m_hEntered;
};
