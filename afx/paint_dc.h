#pragma once

#include <windows.h>

class CWnd;

// BeginPaint for the life of the object, EndPaint when it goes.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const;
    BOOL DrawIcon(int x, int y, HICON hIcon);

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
