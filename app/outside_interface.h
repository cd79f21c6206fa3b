// What other programs rely on, written once: the program, its tools and the
// stand-ins all take these from here. Nothing but <windows.h> behind it.
#pragma once

#include <windows.h>

// The hidden host window. Its caption is how a second copy, and any sender of
// phone states, finds it; the program publishes no handle of its own.
#define HOST_WINDOW_CAPTION "*Tandivorex"

// Where Windows looks for programs to start at logon, and where Task Manager
// and Settings switch such an entry off without deleting it, both under
// HKEY_CURRENT_USER. The installer and the tests take them from here too.
#define RUN_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define STARTUP_APPROVED_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run"

// The host's private messages, each with WPARAM and LPARAM:
// the tray icon's notifications (icon id, mouse message);
const UINT WM_TRAY_NOTIFY = WM_USER + 100;
// a handset event, posted by the library's callback (type, value);
const UINT WM_HANDSET_EVENT = WM_USER + 101;
// a phone state from another program (state, unused), answered with the
// library's result as a 32-bit integer.
const UINT WM_PHONE_STATE = WM_USER + 102;

// Phone states 257 to 264; KEY_STATE_NONE while none has been relayed.
const int KEY_STATE_NONE = 256;
const int PHONE_STATE_FIRST = 257;
const int PHONE_STATE_LAST = 264;

// The id of the program's one tray icon.
const UINT TRAY_ICON_ID = 128;

// The softphone's main window, as FindWindowA looks it up.
#define SOFTPHONE_CLASS "AfxFrameOrView42"
#define SOFTPHONE_TITLE "k7340 Software Phone"

// Both key messages the softphone is sent carry this LPARAM: repeat count
// 0xC001, scan code 1, no flags, on the key-up too, as it has always seen it.
const LPARAM KEY_LPARAM = 0x0001C001;

// The handset library's codes for QV_DeviceIoControl: open and close; the
// commands (0x1001, 0x1003 to 0x1006) are the phone states' (see the relay).
const DWORD QV_CODE_OPEN = 0x0000;
const DWORD QV_CODE_CLOSE = 0xFFFF;

// The handset library's event types, and the values that go with them.
enum QvEventType {
    QV_EVENT_DEVICE_LOST = -1,
    QV_EVENT_KEYSET = 0,       // 256 to 398: the extended key set, forwarding on
    QV_EVENT_EXTENDED_KEY = 4, // QV_EXTENDED_*
    QV_EVENT_KEY = 11,         // QV_KEY_* in the low byte
    QV_EVENT_ACTIVATE = 12,
    QV_EVENT_ESCAPE = 13,
    QV_EVENT_FORWARD_ON = 14,
    QV_EVENT_FORWARD_OFF = 15,
};

enum QvEventValue {
    QV_KEYSET_FIRST = 256,
    QV_KEYSET_LAST = 398,

    QV_KEY_0 = 0x80, // to QV_KEY_0 + 9 for '9'
    QV_KEY_STAR = 0x8B,
    QV_KEY_HASH = 0x8C,
    QV_KEY_DOWN = 0x8D,
    QV_KEY_UP = 0x8E,
    QV_KEY_ENTER = 0x91,

    QV_EXTENDED_RIGHT = 4,
    QV_EXTENDED_F5 = 20,
    QV_EXTENDED_LEFT = 35,
};
