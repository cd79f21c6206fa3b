// bench-direct: the baseline scripts/bench sets the program against. It opens
// the handset through the same QVUSBTEL.dll and, from the library's callback,
// posts WM_KEYDOWN straight to the softphone's window: the same wake-up by the
// device, without the program's queue and bridge in between.
#include "handset/qvusbtel.h"

#include <windows.h>

#include <cstdio>

namespace {


// The device takes one library at a time: keep asking until the other lets go.
const DWORD OPEN_RETRY_MS = 10;
const DWORD OPEN_TIMEOUT_MS = 10000;
// A bench that died leaves no baseline behind for long.
const DWORD LIFETIME_MS = 30 * 60 * 1000;

HWND s_hPhone = nullptr;
HANDLE s_hLost = nullptr;

// Only the keys the bench presses: digits (event 11) and extended keys (event 4).
UINT VirtualKey(int type, int value)
{
    int code = value & 0xFF;
    if (type == QV_EVENT_KEY && code >= QV_KEY_0 && code <= QV_KEY_0 + 9)
        return '0' + (code - QV_KEY_0);
    if (type == QV_EVENT_EXTENDED_KEY && value == QV_EXTENDED_RIGHT)
        return VK_RIGHT;
    if (type == QV_EVENT_EXTENDED_KEY && value == QV_EXTENDED_F5)
        return VK_F5;
    if (type == QV_EVENT_EXTENDED_KEY && value == QV_EXTENDED_LEFT)
        return VK_LEFT;
    return 0;
}

int WINAPI OnHandsetEvent(int type, int value, void*)
{
    if (type == QV_EVENT_DEVICE_LOST) {
        ::SetEvent(s_hLost);
        return 0;
    }
    UINT vk = VirtualKey(type, value);
    return vk != 0 && ::PostMessageA(s_hPhone, WM_KEYDOWN, vk, KEY_LPARAM) ? 1 : 0;
}

} // namespace

int main(int argc, char**)
{
    if (argc != 1) {
        std::fputs("usage: bench-direct\n"
                    "Opens the handset and posts each digit and extended key straight to the\n"
                    "softphone's window as WM_KEYDOWN, until the handset is unplugged.\n"
                    "Prints 'opening' as it starts asking, 'open' once it has the handset.\n",
                    stderr);
        return 2;
    }
    s_hPhone = ::FindWindowA(SOFTPHONE_CLASS, SOFTPHONE_TITLE);
    s_hLost = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (s_hPhone == nullptr || s_hLost == nullptr) {
        std::fputs("bench-direct: no softphone window\n", stderr);
        return 1;
    }

    // Told apart from "open", so that the bench plugs the handset in only once we ask.
    std::puts("opening");
    std::fflush(stdout);
    DWORD start = ::GetTickCount();
    while (QV_DeviceIoControl(QV_CODE_OPEN, OnHandsetEvent, nullptr, 0, 0, 0) == 0) {
        if (::GetTickCount() - start > OPEN_TIMEOUT_MS) {
            std::fputs("bench-direct: the handset did not open\n", stderr);
            return 1;
        }
        ::Sleep(OPEN_RETRY_MS);
    }
    std::puts("open");
    std::fflush(stdout);

    ::WaitForSingleObject(s_hLost, LIFETIME_MS);
    QV_DeviceIoControl(QV_CODE_CLOSE, nullptr, nullptr, 0, 0, 0);
    std::puts("closed");
    return 0;
}
