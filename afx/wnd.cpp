#include "wnd.h"

#include "win_app.h"

CWnd::CWnd()
    : m_hWnd(nullptr)
    , m_pfnSuper(nullptr)
    , m_currentMsg()
{
}

CWnd::~CWnd()
{
    // By now the derived parts are gone; a window still alive must not route
    // messages to them.
    if (m_hWnd != nullptr) {
        HWND hWnd = m_hWnd;
        Detach();
        ::DestroyWindow(hWnd);
    }
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

LRESULT CWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, uMsg, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

void CWnd::CenterWindow()
{
    RECT rcWindow, rcWork;
    ::GetWindowRect(m_hWnd, &rcWindow);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    int x = rcWork.left + (rcWork.right - rcWork.left - (rcWindow.right - rcWindow.left)) / 2;
    int y = rcWork.top + (rcWork.bottom - rcWork.top - (rcWindow.bottom - rcWindow.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    // As in MFC, a command no window handles is offered to the application.
    CWinApp* pApp = AfxGetApp();
    if (uMsg == WM_COMMAND && pApp != nullptr)
        return pApp->ProcessWindowMessage(uMsg, wParam, lParam, lResult);
    return FALSE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WindowProc)));
    return m_pfnSuper != nullptr;
}

void CWnd::Detach()
{
    if (m_pfnSuper != nullptr)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

LRESULT CWnd::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcA(m_pfnSuper, m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);

    // Handlers may send messages to their own window, so the message that
    // Default() refers to is kept per call, not per window.
    MSG previous = pWnd->m_currentMsg;
    pWnd->m_currentMsg.hwnd = hWnd;
    pWnd->m_currentMsg.message = uMsg;
    pWnd->m_currentMsg.wParam = wParam;
    pWnd->m_currentMsg.lParam = lParam;

    LRESULT lResult = 0;
    if (!pWnd->ProcessWindowMessage(uMsg, wParam, lParam, lResult))
        lResult = pWnd->DefWindowProc(uMsg, wParam, lParam);

    if (uMsg == WM_NCDESTROY)
        pWnd->Detach();
    else
        pWnd->m_currentMsg = previous;
    return lResult;
}
