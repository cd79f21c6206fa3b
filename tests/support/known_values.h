// What other programs rely on, written here a second time on purpose: the
// tests that check the program against these would fail if the program's
// own header changed a number or a name that the softphone, the shell, the
// handset library or a sender of phone states knows. Used only where a test
// checks the program's outside; everywhere else tests use its own names.
#pragma once

#include <windows.h>

namespace known {

const char HOST_CAPTION[] = "*Tandivorex";
const UINT PHONE_STATE_MESSAGE = 0x0466; // WM_USER + 102
const UINT TRAY_MESSAGE = 0x0464;        // WM_USER + 100
const UINT TRAY_ID = 128;

const char PHONE_CLASS[] = "AfxFrameOrView42";
const char PHONE_TITLE[] = "k7340 Software Phone";

// The LPARAM of every key message the softphone is sent, down and up.
const LPARAM KEY_LPARAM = 0x0001C001;

} // namespace known
