// QVUSBTEL.dll, the HID edition: the maker's interface over any USB phone,
// handset or headset that speaks the HID Telephony page, through the
// system's own HID stack (hid.dll, SetupAPI).
#include "handset/qvusbtel.h"

#include "hid/phone_finder.h"
#include "hid/phone_thread.h"
#include "hid/usage_table.h"

namespace {

CRITICAL_SECTION s_lock;
// From the first open to close: watching for devices, and reading the one open.
CPhoneThread* s_pThread = nullptr;

// Taken out under the lock but stopped outside it: a callback in flight may be
// calling into the library itself.
CPhoneThread* TakeThread()
{
    ::EnterCriticalSection(&s_lock);
    CPhoneThread* pThread = s_pThread;
    s_pThread = nullptr;
    ::LeaveCriticalSection(&s_lock);
    return pThread;
}

int Open(QV_HANDSET_CALLBACK callback, void* context)
{
    if (callback == nullptr)
        return 0;
    ::EnterCriticalSection(&s_lock);
    CPhoneThread* pOld = nullptr;
    // Open again over an open (or lost) device starts afresh, as the maker's does.
    if (s_pThread != nullptr && s_pThread->Phone() != nullptr) {
        pOld = s_pThread;
        s_pThread = nullptr;
    }
    ::LeaveCriticalSection(&s_lock);
    if (pOld != nullptr)
        pOld->Stop();

    ::EnterCriticalSection(&s_lock);
    if (s_pThread == nullptr)
        s_pThread = CPhoneThread::Start();
    // The program asks every second while none is present: with nothing
    // plugged in since the last look, the answer is no, at once.
    CHidPhone* pPhone = nullptr;
    if (s_pThread != nullptr && s_pThread->TakeArrival())
        pPhone = FindTelephonyPhone();
    if (pPhone != nullptr)
        s_pThread->Attach(pPhone, callback, context);
    ::LeaveCriticalSection(&s_lock);
    return pPhone != nullptr ? 1 : 0;
}

int Close()
{
    CPhoneThread* pThread = TakeThread();
    if (pThread == nullptr)
        return 1;
    // A lamp this library lit would stay lit after the program has gone, a
    // ringing headset with it: it is put out first, if the device is still there.
    CHidPhone* pPhone = pThread->Phone();
    if (pPhone != nullptr && !pThread->IsLost() && pPhone->HasLitLamps())
        pPhone->SendCommand(QV_COMMAND_IDLE);
    pThread->Stop();
    return 1;
}

int Command(DWORD code)
{
    // Under the lock, so that a close waits for a write in flight (a bounded
    // wait) rather than freeing the device under it.
    ::EnterCriticalSection(&s_lock);
    CHidPhone* pPhone = s_pThread != nullptr ? s_pThread->Phone() : nullptr;
    int nResult = pPhone != nullptr && pPhone->SendCommand(code) ? 1 : 0;
    ::LeaveCriticalSection(&s_lock);
    return nResult;
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
