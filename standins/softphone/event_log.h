#pragma once

#include <windows.h>

#include <string>

// One line per event, written straight through so a reader sees it at once.
// Each line starts with the QueryPerformanceCounter time in milliseconds.
class CEventLog {
public:
    CEventLog();
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    BOOL Open(const std::string& path);

    void Start(HWND hWnd);
    void Key(const char* pszKind, WPARAM vk, LPARAM lParam);
    void Event(const char* pszKind);

private:
    void Write(const char* pszText);

    HANDLE m_hFile;
};
