// Stand-in QVUSBTEL.dll: the client of the simulated handset (handset-sim serve),
// which must be running, and plugged in, for open to succeed.
#include "handset/qvusbtel.h"

#include "standins/handset_sim/handset_protocol.h"
#include "standins/qvusbtel/event_thread.h"

using namespace handset_protocol;

namespace {

CRITICAL_SECTION s_lock;
CEventThread* s_pOpen = nullptr;

// Taken out under the lock but stopped outside it: a callback in flight may be
// calling into the library itself.
CEventThread* TakeOpen()
{
    ::EnterCriticalSection(&s_lock);
    CEventThread* pThread = s_pOpen;
    s_pOpen = nullptr;
    ::LeaveCriticalSection(&s_lock);
    return pThread;
}

DWORD_PTR AskDevice(HWND hDevice, DWORD code, HWND hEvents)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(hDevice, WM_DEVICE_IO_CONTROL, code, WindowToLParam(hEvents),
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, LIBRARY_TIMEOUT_MS, &answer))
        return 0;
    return answer;
}

int Open(QV_HANDSET_CALLBACK callback, void* context)
{
    if (CEventThread* pOld = TakeOpen())
        pOld->Stop();
    HWND hDevice = FindDevice();
    if (callback == nullptr || hDevice == nullptr)
        return 0;
    // An unplugged device refuses at once: ask it without first starting a
    // thread and a window for events, since a program retries every second.
    DWORD_PTR status = 0;
    ::SendMessageTimeoutW(hDevice, WM_DEVICE_GET_STATUS, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, LIBRARY_TIMEOUT_MS,
                          &status);
    if ((status & DEVICE_STATUS_PLUGGED) == 0) {
        AskDevice(hDevice, QV_CODE_OPEN, nullptr); // refused, but on the device's record
        return 0;
    }

    DWORD processId = 0;
    ::GetWindowThreadProcessId(hDevice, &processId);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    CEventThread* pThread = CEventThread::Start(callback, context, hProcess);
    if (pThread == nullptr)
        return 0;
    if (AskDevice(hDevice, QV_CODE_OPEN, pThread->Window()) == 0) {
        pThread->Stop();
        return 0;
    }

    ::EnterCriticalSection(&s_lock);
    CEventThread* pRacing = s_pOpen;
    s_pOpen = pThread;
    ::LeaveCriticalSection(&s_lock);
    if (pRacing != nullptr)
        pRacing->Stop();
    return 1;
}

int Close()
{
    CEventThread* pThread = TakeOpen();
    if (HWND hDevice = FindDevice())
        AskDevice(hDevice, QV_CODE_CLOSE, pThread != nullptr ? pThread->Window() : nullptr);
    if (pThread != nullptr)
        pThread->Stop();
    return 1;
}

int Command(DWORD code)
{
    ::EnterCriticalSection(&s_lock);
    HWND hEvents = s_pOpen != nullptr ? s_pOpen->Window() : nullptr;
    ::LeaveCriticalSection(&s_lock);
    HWND hDevice = FindDevice();
    return hDevice != nullptr && AskDevice(hDevice, code, hEvents) != 0 ? 1 : 0;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ::InitializeCriticalSection(&s_lock);
    return TRUE;
}

extern "C" int WINAPI QV_DeviceIoControl(DWORD code, QV_HANDSET_CALLBACK callback, void* context, DWORD, DWORD, DWORD)
{
    if (code == QV_CODE_OPEN)
        return Open(callback, context);
    if (code == QV_CODE_CLOSE)
        return Close();
    return Command(code);
}
