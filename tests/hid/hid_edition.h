// The HID edition of QVUSBTEL.dll as built, loaded from build/<target>/hid/,
// and the events it calls back with.
#pragma once

#include <windows.h>

#include <vector>

struct QvEvent {
    int type;
    int value;
    bool operator==(const QvEvent& other) const { return type == other.type && value == other.value; }
};

// The events one open reported, in order, with the threads they came on.
class CEventLog {
public:
    CEventLog();
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    static int WINAPI Callback(int type, int value, void* context);
    // Waits until at least n events have come, then a little longer for any
    // that should not; returns all of them.
    std::vector<QvEvent> WaitFor(size_t n, DWORD timeoutMs = 10000, DWORD settleMs = 300);
    std::vector<QvEvent> Events();
    size_t Count();
    void Clear();
    BOOL CameOnOneOtherThread(DWORD callerThreadId);

private:
    CRITICAL_SECTION m_cs;
    HANDLE m_hChanged;
    std::vector<QvEvent> m_events;
    std::vector<DWORD> m_threads;
};

// The library's entry point, taken from the DLL beside the tests' own folder.
class CHidEdition {
public:
    static CHidEdition& Get();
    BOOL Loaded() const { return m_pfn != nullptr; }
    int Open(CEventLog* pLog) { return m_pfn(0, &CEventLog::Callback, pLog, 0, 0, 0); }
    int Close() { return m_pfn(0xFFFF, nullptr, nullptr, 0, 0, 0); }
    int Command(DWORD code) { return m_pfn(code, nullptr, nullptr, 0, 0, 0); }
    // Opens as the program does, once a second until it answers, here each
    // 100 ms up to timeoutMs.
    int OpenWithin(CEventLog* pLog, DWORD timeoutMs);

private:
    CHidEdition();
    typedef int(WINAPI* Entry)(DWORD, int(WINAPI*)(int, int, void*), void*, DWORD, DWORD, DWORD);
    Entry m_pfn = nullptr;
};
