#include "event_log.h"

CEventLog::CEventLog()
{
    ::InitializeCriticalSection(&m_cs);
    m_hEntered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CEventLog::~CEventLog()
{
    ::CloseHandle(m_hEntered);
    ::DeleteCriticalSection(&m_cs);
}

int WINAPI CEventLog::Callback(int type, int value, void* context)
{
    auto* pLog = static_cast<CEventLog*>(context);
    ::SetEvent(pLog->m_hEntered);
    if (pLog->m_delayMs != 0)
        ::Sleep(pLog->m_delayMs);
    ::EnterCriticalSection(&pLog->m_cs);
    pLog->m_entries.push_back({type, value, ::GetCurrentThreadId()});
    ::LeaveCriticalSection(&pLog->m_cs);
    return 1;
}

std::vector<CEventLog::Entry> CEventLog::Entries()
{
    ::EnterCriticalSection(&m_cs);
    std::vector<Entry> entries = m_entries;
    ::LeaveCriticalSection(&m_cs);
    return entries;
}

bool CEventLog::WaitForCount(size_t count, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (Entries().size() < count) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}
