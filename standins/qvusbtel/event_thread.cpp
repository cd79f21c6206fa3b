#include "event_thread.h"

#include "standins/handset_sim/handset_protocol.h"
#include "standins/window_object.h"

using namespace handset_protocol;

namespace {

const wchar_t EVENT_CLASS[] = L"QvUsbTelEvents";

} // namespace

CEventThread* CEventThread::Start(QV_HANDSET_CALLBACK callback, void* context, HANDLE hDeviceProcess)
{
    CEventThread* pThread = new CEventThread(callback, context, hDeviceProcess);
    // The thread holds the DLL, so a FreeLibrary cannot pull its code from under it.
    if (pThread->m_hReady == nullptr || pThread->m_hStop == nullptr
        || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCWSTR>(&CEventThread::ThreadMain), &pThread->m_hModule)) {
        delete pThread;
        return nullptr;
    }
    pThread->m_hThread = ::CreateThread(nullptr, 0, ThreadMain, pThread, 0, &pThread->m_dwThreadId);
    if (pThread->m_hThread == nullptr) {
        ::FreeLibrary(pThread->m_hModule);
        delete pThread;
        return nullptr;
    }
    ::WaitForSingleObject(pThread->m_hReady, INFINITE);
    if (pThread->m_hWnd == nullptr) {
        pThread->Stop();
        return nullptr;
    }
    return pThread;
}

CEventThread::CEventThread(QV_HANDSET_CALLBACK callback, void* context, HANDLE hDeviceProcess)
    : m_pfnCallback(callback), m_pContext(context), m_hDeviceProcess(hDeviceProcess)
{
    m_hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CEventThread::~CEventThread()
{
    if (m_hDeviceProcess != nullptr)
        ::CloseHandle(m_hDeviceProcess);
    if (m_hReady != nullptr)
        ::CloseHandle(m_hReady);
    if (m_hStop != nullptr)
        ::CloseHandle(m_hStop);
    if (m_hThread != nullptr)
        ::CloseHandle(m_hThread);
}

void CEventThread::Stop()
{
    ::InterlockedExchange(&m_bStopped, 1);
    ::SetEvent(m_hStop);
    if (::GetCurrentThreadId() == m_dwThreadId) {
        m_bDetached = TRUE;
        return;
    }
    ::WaitForSingleObject(m_hThread, INFINITE);
    delete this;
}

DWORD WINAPI CEventThread::ThreadMain(void* pParam)
{
    auto* pThread = static_cast<CEventThread*>(pParam);
    HMODULE hModule = pThread->m_hModule;
    pThread->Run();
    if (pThread->m_bDetached)
        delete pThread;
    ::FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

void CEventThread::Run()
{
    m_hWnd = CreateMessageWindow(EVENT_CLASS, WindowProc, m_hModule, this);
    ::SetEvent(m_hReady);
    if (m_hWnd == nullptr)
        return;

    HANDLE handles[] = {m_hStop, m_hDeviceProcess};
    DWORD count = m_hDeviceProcess != nullptr ? 2 : 1;
    for (;;) {
        DWORD wait = ::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED)
            break;
        if (wait == WAIT_OBJECT_0 + 1 && count == 2) {
            count = 1;
            if (!m_bLost)
                Report(QV_EVENT_DEVICE_LOST, 0);
            continue;
        }
        // Sent messages, which is how the device delivers, are handled inside PeekMessage.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CEventThread::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThread = static_cast<CEventThread*>(WindowObject(hWnd, uMsg, lParam));
    if (uMsg == WM_DEVICE_EVENT && pThread != nullptr)
        return pThread->Report(FromParam(wParam), FromParam(lParam));
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

int CEventThread::Report(int type, int value)
{
    if (m_bStopped != 0)
        return 0;
    if (type == QV_EVENT_DEVICE_LOST)
        m_bLost = TRUE;
    return m_pfnCallback(type, value, m_pContext);
}
