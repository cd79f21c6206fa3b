#include "host_thread.h"

namespace {

const UINT WM_MARKER = WM_APP + 0x3F1;

} // namespace

CHostThread::CHostThread(Ticks ticks)
    : m_pDlg(nullptr)
    , m_hWnd(nullptr)
    , m_hMarker(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    , m_nResult(0)
    , m_ticks(ticks)
    , m_bEnded(false)
    , m_thread(&CHostThread::MakeSink, this, &CHostThread::RunHost)
{
    // The first marker was posted before DoModal, so it is handled by the
    // modal loop, after the host's initialisation.
    ::WaitForSingleObject(m_hMarker, 10000);
    m_hWnd = ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
}

CHostThread::~CHostThread()
{
    if (!m_bEnded)
        Stop();
    m_thread.Close();
    ::CloseHandle(m_hMarker);
}

HWND CHostThread::MakeSink(void* pParam)
{
    HWND hSink = ::CreateWindowExA(0, "STATIC", "sink", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrA(hSink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pParam));
    ::SetWindowLongPtrA(hSink, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CHostThread::SinkProc));
    ::PostMessageA(hSink, WM_MARKER, 0, 0);
    return hSink;
}

void CHostThread::RunHost(void* pParam)
{
    auto pThis = static_cast<CHostThread*>(pParam);
    {
        CTandivorexDlg dlg;
        pThis->m_pDlg = &dlg;
        pThis->m_nResult = dlg.DoModal();
    } // the host is destroyed here, as at the end of InitInstance
    ::DestroyWindow(pThis->m_thread.Window());
}

LRESULT CALLBACK CHostThread::SinkProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_MARKER) {
        auto pThis = reinterpret_cast<CHostThread*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        // The first marker comes right after the host's initialisation, long
        // before a timer's first tick; timers are killed by their own thread.
        if (pThis->m_ticks == MANUAL_TICKS && pThis->m_pDlg != nullptr && pThis->m_pDlg->m_hWnd != nullptr) {
            ::KillTimer(pThis->m_pDlg->m_hWnd, TIMER_OPEN_DEVICE);
            ::KillTimer(pThis->m_pDlg->m_hWnd, TIMER_FIND_PHONE);
        }
        ::SetEvent(pThis->m_hMarker);
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

bool CHostThread::Sync(DWORD dwTimeoutMs)
{
    // Posted messages of one thread are retrieved in order, whatever window.
    ::PostMessageA(m_thread.Window(), WM_MARKER, 0, 0);
    return ::WaitForSingleObject(m_hMarker, dwTimeoutMs) == WAIT_OBJECT_0;
}

void CHostThread::Tick(UINT_PTR nIDEvent)
{
    // Posted, not sent: a tick comes after the events already queued, as a
    // real one does.
    ::PostMessageA(m_hWnd, WM_TIMER, nIDEvent, 0);
    Sync();
}

void CHostThread::TickBoth()
{
    Tick(TIMER_OPEN_DEVICE);
    Tick(TIMER_FIND_PHONE);
}

INT_PTR CHostThread::Stop(WPARAM nCommand)
{
    ::PostMessageA(m_hWnd, WM_COMMAND, nCommand, 0);
    return Join();
}

INT_PTR CHostThread::Join()
{
    m_thread.Join(15000);
    m_bEnded = true;
    m_pDlg = nullptr;
    return m_nResult;
}
