#include "phone_thread.h"

#include <dbt.h>

#include <hidclass.h>

namespace {

const wchar_t WATCH_CLASS[] = L"TandivorexHidWatch";
// How long stopping waits for the device to give back a cancelled read.
const DWORD CANCEL_WAIT_MS = 1000;
// Enough for any report: a key and the hook switch at once give three.
const int MAX_EVENTS_PER_REPORT = 16;

} // namespace

CPhoneThread* CPhoneThread::Start()
{
    CPhoneThread* pThread = new CPhoneThread;
    // The thread holds the DLL, so a FreeLibrary cannot pull its code from under it.
    if (pThread->m_hReady == nullptr || pThread->m_hStop == nullptr || pThread->m_hAttached == nullptr
        || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCWSTR>(&CPhoneThread::ThreadMain), &pThread->m_hModule)) {
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

CPhoneThread::CPhoneThread()
{
    m_hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hAttached = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CPhoneThread::~CPhoneThread()
{
    delete m_pPhone;
    const HANDLE handles[] = {m_hReady, m_hStop, m_hAttached, m_hThread};
    for (HANDLE h : handles) {
        if (h != nullptr)
            ::CloseHandle(h);
    }
}

void CPhoneThread::Attach(CHidPhone* pPhone, QV_HANDSET_CALLBACK callback, void* context)
{
    m_pfnCallback = callback;
    m_pContext = context;
    m_pPhone = pPhone;
    ::SetEvent(m_hAttached); // the thread reads the fields above only after this
}

void CPhoneThread::Stop()
{
    ::InterlockedExchange(&m_lStopped, 1);
    ::SetEvent(m_hStop);
    if (::GetCurrentThreadId() == m_dwThreadId) {
        m_bDetached = TRUE;
        return;
    }
    ::WaitForSingleObject(m_hThread, INFINITE);
    delete this;
}

DWORD WINAPI CPhoneThread::ThreadMain(void* pParam)
{
    auto* pThread = static_cast<CPhoneThread*>(pParam);
    HMODULE hModule = pThread->m_hModule;
    pThread->Run();
    if (pThread->m_bDetached)
        delete pThread;
    ::FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

BOOL CPhoneThread::CreateWatch()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = m_hModule;
    wc.lpszClassName = WATCH_CLASS;
    ::RegisterClassExW(&wc); // already there from an earlier open: as good
    m_hWnd = ::CreateWindowExW(0, WATCH_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, m_hModule, this);
    if (m_hWnd == nullptr)
        return FALSE;
    // Told of every HID collection that arrives, from the system's own
    // notice: an open with nothing new plugged in need not walk the tree.
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_HID;
    m_hNotify = ::RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (m_hNotify == nullptr) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        return FALSE;
    }
    return TRUE;
}

void CPhoneThread::Run()
{
    BOOL bWatching = CreateWatch();
    ::SetEvent(m_hReady);
    if (!bWatching)
        return;

    for (;;) {
        HANDLE handles[] = {m_hStop, m_hAttached, m_pRead != nullptr ? m_pRead->ov.hEvent : nullptr};
        DWORD count = m_pRead != nullptr ? 3 : 2;
        DWORD wait = ::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED)
            break;
        if (wait == WAIT_OBJECT_0 + 1) {
            ReadNext();
        } else if (wait == WAIT_OBJECT_0 + 2 && count == 3) {
            OnReadDone();
        } else {
            // The arrival notices are sent messages, handled inside PeekMessage.
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
        }
    }
    EndReading();
    ::UnregisterDeviceNotification(m_hNotify);
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CPhoneThread::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* pThread = reinterpret_cast<CPhoneThread*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (msg == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL && pThread != nullptr) {
        ::InterlockedExchange(&pThread->m_lArrived, 1);
        return TRUE;
    }
    return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

void CPhoneThread::ReadNext()
{
    if (m_pPhone == nullptr || m_lLost != 0)
        return;
    if (m_pRead == nullptr) {
        m_pRead = IoSlot::Create(m_pPhone->InputLength());
        if (m_pRead == nullptr) {
            OnDeviceLost(); // cannot read it: as good as gone, and the program will try again
            return;
        }
    }
    // Whether it ends at once or later, its event says so and OnReadDone takes it.
    if (!::ReadFile(m_pPhone->Handle(), m_pRead->data, m_pRead->cb, nullptr, &m_pRead->ov)
        && ::GetLastError() != ERROR_IO_PENDING) {
        IoSlot::Free(m_pRead);
        m_pRead = nullptr;
        OnDeviceLost();
    }
}

void CPhoneThread::OnReadDone()
{
    DWORD cb = 0;
    if (!::GetOverlappedResult(m_pPhone->Handle(), &m_pRead->ov, &cb, FALSE)) {
        // A read fails when the device has gone: Windows says
        // ERROR_DEVICE_NOT_CONNECTED (or ERROR_GEN_FAILURE, ERROR_BAD_COMMAND
        // from some USB stacks), Wine ERROR_ACCESS_DENIED. Any other failure
        // leaves a device we can no longer read: to the user the same, and
        // the program's next open finds it again if it is still there.
        IoSlot::Free(m_pRead);
        m_pRead = nullptr;
        OnDeviceLost();
        return;
    }
    // A report shorter than the longest one comes back short from Wine, where
    // Windows pads it; the parser wants the whole length, as Windows gives it.
    if (cb < m_pRead->cb)
        ::ZeroMemory(m_pRead->data + cb, m_pRead->cb - cb);
    HandsetEvent aEvents[MAX_EVENTS_PER_REPORT];
    int count = m_pPhone->Decoder().Decode(m_pRead->data, cb != 0 ? m_pRead->cb : 0, m_pPhone->LastCommand(),
                                           aEvents, MAX_EVENTS_PER_REPORT);
    for (int i = 0; i < count; ++i)
        Report(aEvents[i].type, aEvents[i].value);
    ReadNext();
}

void CPhoneThread::OnDeviceLost()
{
    if (m_lLost != 0)
        return;
    ::InterlockedExchange(&m_lLost, 1);
    Report(QV_EVENT_DEVICE_LOST, 0);
}

void CPhoneThread::EndReading()
{
    if (m_pRead == nullptr)
        return;
    ::CancelIo(m_pPhone->Handle()); // this thread's read, the only I/O it started
    // A driver that keeps a cancelled read keeps its block too: a few bytes
    // left to it, rather than a close that never returns.
    IoSlot::FreeWhenDone(m_pRead, CANCEL_WAIT_MS);
    m_pRead = nullptr;
}

void CPhoneThread::Report(int type, int value)
{
    if (m_lStopped != 0 || m_pfnCallback == nullptr)
        return;
    m_pfnCallback(type, value, m_pContext);
}
