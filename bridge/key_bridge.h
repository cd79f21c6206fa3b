#pragma once

#include "app/outside_interface.h"

// Key sets: the extended one also forwards the events of type 4.
const int KEYSET_BASIC = 0x110;
const int KEYSET_EXTENDED = 0x111;

// Turns handset events into keystrokes and activation for the softphone
// window, and phone states into handset commands.
class CKeyBridge {
public:
    CKeyBridge();

    void HandleEvent(UINT type, int value);
    void BringToFront(HWND hWnd, BOOL bUserAsked);
    int ApplyPhoneState(int state, int ignored);

    HWND m_hTarget;
    int m_nState;
    BOOL m_bForward;
    int m_nKeySet;
    // Asked for the foreground. Tests put in its place one that refuses as
    // Windows does, which Wine never does itself.
    BOOL(WINAPI* m_pfnSetForegroundWindow)(HWND);

private:
    void PressKey(UINT vk);
};
