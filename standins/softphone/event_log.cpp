#include "event_log.h"

#include <cstdio>

CEventLog::CEventLog()
    : m_hFile(INVALID_HANDLE_VALUE)
{
}

CEventLog::~CEventLog()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

BOOL CEventLog::Open(const std::string& path)
{
    // Appending through the system, unbuffered, lets tests read and delete the
    // file while we run.
    m_hFile = ::CreateFileA(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_hFile != INVALID_HANDLE_VALUE;
}

void CEventLog::Start(HWND hWnd)
{
    char sz[64];
    // Window handles keep to 32 bits even in 64-bit processes.
    std::snprintf(sz, sizeof sz, "start hwnd=0x%08lX", HandleToULong(hWnd));
    Write(sz);
}

void CEventLog::Key(const char* pszKind, WPARAM vk, LPARAM lParam)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s vk=0x%02lX lparam=0x%08lX", pszKind,
                  static_cast<unsigned long>(vk & 0xFFFFFFFF), static_cast<unsigned long>(lParam & 0xFFFFFFFF));
    Write(sz);
}

void CEventLog::Event(const char* pszKind)
{
    Write(pszKind);
}

void CEventLog::Write(const char* pszText)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    double ms = 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
    char sz[128];
    int n = std::snprintf(sz, sizeof sz, "%.3f %s\n", ms, pszText);
    if (n < 0 || n >= static_cast<int>(sizeof sz))
        return;
    // One appending write per line keeps lines whole even when two phones share a log.
    DWORD dwWritten = 0;
    ::WriteFile(m_hFile, sz, static_cast<DWORD>(n), &dwWritten, nullptr);
}
