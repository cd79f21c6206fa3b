// The C++ object a stand-in's window serves: handed over as the window's
// creation parameter and kept with it. Null before WM_NCCREATE has arrived.
#pragma once

#include <windows.h>

inline void* WindowObject(HWND hWnd, UINT uMsg, LPARAM lParam)
{
    // lpCreateParams stands first in CREATESTRUCTA and CREATESTRUCTW alike.
    if (uMsg == WM_NCCREATE)
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<void*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}
