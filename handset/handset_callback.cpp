#include "handset_callback.h"

namespace {

// The library may call back after the host is gone: the ways out other than
// Exit leave it open. So the callback never dereferences its context; it only
// compares it with the host registered here, under a lock that the host's
// withdrawal also takes, so it never uses a window handle of a freed host.
class CHostSlot {
public:
    CHostSlot() { ::InitializeCriticalSection(&m_cs); }
    CHostSlot(const CHostSlot&) = delete;
    CHostSlot& operator=(const CHostSlot&) = delete;

    void Set(const void* pHost, HWND hWnd)
    {
        ::EnterCriticalSection(&m_cs);
        m_pHost = pHost;
        m_hWnd = hWnd;
        ::LeaveCriticalSection(&m_cs);
    }

    void Clear(const void* pHost)
    {
        ::EnterCriticalSection(&m_cs);
        if (m_pHost == pHost) {
            m_pHost = nullptr;
            m_hWnd = nullptr;
        }
        ::LeaveCriticalSection(&m_cs);
    }

    HWND Find(const void* pHost)
    {
        ::EnterCriticalSection(&m_cs);
        HWND hWnd = (pHost != nullptr && pHost == m_pHost) ? m_hWnd : nullptr;
        ::LeaveCriticalSection(&m_cs);
        return hWnd;
    }

private:
    CRITICAL_SECTION m_cs;
    const void* m_pHost = nullptr;
    HWND m_hWnd = nullptr;
};

// Constructed before WinMain, so before the library can have a thread to call from.
CHostSlot s_hostSlot;

} // namespace

int WINAPI HandsetCallback(int type, int value, void* context)
{
    HWND hWnd = s_hostSlot.Find(context);
    if (hWnd == nullptr || !::IsWindow(hWnd))
        return 0;
    // Sign-extending the value keeps -1 and friends intact on 64-bit.
    return ::PostMessageA(hWnd, WM_HANDSET_EVENT, static_cast<WPARAM>(static_cast<UINT>(type)),
                          static_cast<LPARAM>(value));
}

void RegisterHandsetHost(const void* context, HWND hWnd)
{
    s_hostSlot.Set(context, hWnd);
}

void UnregisterHandsetHost(const void* context)
{
    s_hostSlot.Clear(context);
}
