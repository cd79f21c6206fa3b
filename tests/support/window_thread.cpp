#include "window_thread.h"

CWindowThread::CWindowThread(MakeFn pfnMake, void* pOwner, ServeFn pfnServe)
    : m_pfnMake(pfnMake)
    , m_pfnServe(pfnServe)
    , m_pOwner(pOwner)
    , m_hWnd(nullptr)
    , m_hMade(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    , m_hThread(nullptr)
{
    m_hThread = ::CreateThread(nullptr, 0, &CWindowThread::ThreadProc, this, 0, nullptr);
    ::WaitForSingleObject(m_hMade, 10000);
}

CWindowThread::~CWindowThread()
{
    Close();
    ::CloseHandle(m_hThread);
    ::CloseHandle(m_hMade);
}

void CWindowThread::Close()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    Join(10000);
}

bool CWindowThread::Join(DWORD dwTimeoutMs)
{
    return ::WaitForSingleObject(m_hThread, dwTimeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI CWindowThread::ThreadProc(LPVOID pParam)
{
    auto pThis = static_cast<CWindowThread*>(pParam);
    pThis->m_hWnd = pThis->m_pfnMake(pThis->m_pOwner);
    ::SetEvent(pThis->m_hMade);
    if (pThis->m_hWnd == nullptr)
        return 1;
    if (pThis->m_pfnServe != nullptr) {
        pThis->m_pfnServe(pThis->m_pOwner);
        return 0;
    }
    // Until the window is destroyed: its procedure posts the quit message.
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg); // no TranslateMessage: a test sees only what was posted
    return 0;
}
