#include "foreground_rule.h"

namespace {

// The last request refused: by which thread, for which window, and when.
struct Refusal {
    DWORD dwThread;
    HWND hWnd;
    DWORD dwTick;
};

Refusal s_refusal = {0, nullptr, 0};

DWORD LastInputTick()
{
    LASTINPUTINFO info = {sizeof info, 0};
    ::GetLastInputInfo(&info);
    return info.dwTime;
}

// Attached threads share one input state: the calling thread sees the
// foreground thread's active window as its own.
bool SharesInputState(DWORD dwFrontThread)
{
    GUITHREADINFO front = {};
    front.cbSize = sizeof front;
    return ::GetGUIThreadInfo(dwFrontThread, &front) && front.hwndActive != nullptr &&
           front.hwndActive == ::GetActiveWindow();
}

// The last input event came from the caller: nothing in a test gives input
// but the code under test (no user types on the test's desktop), so input
// that came after this very request was refused, a moment ago, is the
// caller's. Wine keeps the time of the last input as SendInput is called.
bool GaveInputSinceRefused(HWND hWnd)
{
    return s_refusal.dwThread == ::GetCurrentThreadId() && s_refusal.hWnd == hWnd &&
           ::GetTickCount() - s_refusal.dwTick < 1000 && static_cast<LONG>(LastInputTick() - s_refusal.dwTick) > 0;
}

} // namespace

BOOL WINAPI SetForegroundWindowByTheRule(HWND hWnd)
{
    HWND hFront = ::GetForegroundWindow();
    DWORD dwFront = hFront != nullptr ? ::GetWindowThreadProcessId(hFront, nullptr) : 0;
    bool bGranted = dwFront == 0 || dwFront == ::GetCurrentThreadId() || SharesInputState(dwFront) ||
                    GaveInputSinceRefused(hWnd);
    s_refusal = {0, nullptr, 0};
    if (bGranted)
        return ::SetForegroundWindow(hWnd);
    s_refusal = {::GetCurrentThreadId(), hWnd, ::GetTickCount()};
    // Input within the same millisecond came before the refusal; what comes
    // after it must carry a later time.
    while (::GetTickCount() == s_refusal.dwTick)
        ::Sleep(1);
    return FALSE;
}

BOOL WINAPI SetForegroundWindowRefused(HWND)
{
    return FALSE;
}
