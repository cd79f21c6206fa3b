// The bench's anchors: the least a program can be that does what Tandivorex
// does every second. A hidden window with two 1-second timers and nothing
// else (bench-bare); built with FIND_SOFTPHONE (bench-bare-find), its second
// timer also looks up the softphone's window, as the program's does. Built as
// the program is, so that what the bench measures above these is the
// program's own doing. The bench also times its start to its first window,
// and ends it as it ends the program: WM_COMMAND IDOK.
#include "app/outside_interface.h"

#include <windows.h>

namespace {

const char ANCHOR_CLASS[] = "TandivorexBenchAnchor";
const char ANCHOR_CAPTION[] = "bench-bare";
const UINT_PTR TIMER_FIRST = 1;
const UINT_PTR TIMER_SECOND = 2;

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_TIMER:
#ifdef FIND_SOFTPHONE
        if (wParam == TIMER_SECOND)
            ::FindWindowA(SOFTPHONE_CLASS, SOFTPHONE_TITLE);
#endif
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = ANCHOR_CLASS;
    if (!::RegisterClassA(&wc))
        return 1;
    HWND hWnd = ::CreateWindowExA(0, ANCHOR_CLASS, ANCHOR_CAPTION, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  hInstance, nullptr);
    if (hWnd == nullptr)
        return 1;
    ::SetTimer(hWnd, TIMER_FIRST, 1000, nullptr);
    ::SetTimer(hWnd, TIMER_SECOND, 1000, nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    return 0;
}
