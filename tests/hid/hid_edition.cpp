#include "hid_edition.h"

#include <string>

CEventLog::CEventLog()
{
    ::InitializeCriticalSection(&m_cs);
    m_hChanged = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CEventLog::~CEventLog()
{
    ::CloseHandle(m_hChanged);
    ::DeleteCriticalSection(&m_cs);
}

int WINAPI CEventLog::Callback(int type, int value, void* context)
{
    auto* pLog = static_cast<CEventLog*>(context);
    ::EnterCriticalSection(&pLog->m_cs);
    pLog->m_events.push_back({type, value});
    pLog->m_threads.push_back(::GetCurrentThreadId());
    ::LeaveCriticalSection(&pLog->m_cs);
    ::SetEvent(pLog->m_hChanged);
    return 1;
}

std::vector<QvEvent> CEventLog::WaitFor(size_t n, DWORD timeoutMs, DWORD settleMs)
{
    DWORD start = ::GetTickCount();
    while (Count() < n && ::GetTickCount() - start < timeoutMs)
        ::WaitForSingleObject(m_hChanged, 100);
    ::Sleep(settleMs);
    return Events();
}

std::vector<QvEvent> CEventLog::Events()
{
    ::EnterCriticalSection(&m_cs);
    std::vector<QvEvent> events = m_events;
    ::LeaveCriticalSection(&m_cs);
    return events;
}

size_t CEventLog::Count()
{
    return Events().size();
}

void CEventLog::Clear()
{
    ::EnterCriticalSection(&m_cs);
    m_events.clear();
    m_threads.clear();
    ::LeaveCriticalSection(&m_cs);
}

BOOL CEventLog::CameOnOneOtherThread(DWORD callerThreadId)
{
    ::EnterCriticalSection(&m_cs);
    BOOL bOne = !m_threads.empty();
    for (DWORD id : m_threads)
        bOne = bOne && id == m_threads[0] && id != callerThreadId;
    ::LeaveCriticalSection(&m_cs);
    return bOne;
}

CHidEdition& CHidEdition::Get()
{
    static CHidEdition s_edition;
    return s_edition;
}

CHidEdition::CHidEdition()
{
    // build/<target>/bin/this.exe -> build/<target>/hid/QVUSBTEL.dll
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n);
    dll.erase(dll.find_last_of(L"\\/"));
    dll.erase(dll.find_last_of(L"\\/") + 1);
    dll += L"hid\\QVUSBTEL.dll";
    HMODULE hModule = ::LoadLibraryW(dll.c_str());
    if (hModule != nullptr)
        m_pfn = reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(hModule, "QV_DeviceIoControl")));
}

int CHidEdition::OpenWithin(CEventLog* pLog, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (int nResult = Open(pLog))
            return nResult;
        if (::GetTickCount() - start >= timeoutMs)
            return 0;
        ::Sleep(100);
    }
}
