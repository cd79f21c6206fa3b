#include "paint_dc.h"

#include "wnd.h"

CPaintDC::CPaintDC(CWnd* pWnd)
    : m_hDC(nullptr)
    , m_ps()
    , m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

HDC CPaintDC::GetSafeHdc() const
{
    return m_hDC;
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON hIcon)
{
    return ::DrawIcon(m_hDC, x, y, hIcon);
}
