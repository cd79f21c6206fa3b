#pragma once

#include <windows.h>

// What the HID edition makes of a telephony device, written once: the input
// usages that become the maker's events, and the lamps each command lights.

const USHORT HID_PAGE_LED = 0x08;
const USHORT HID_PAGE_TELEPHONY = 0x0B;
const USHORT HID_TELEPHONY_HOOK_SWITCH = 0x20;
const USHORT HID_TELEPHONY_RINGER = 0x9E;

// Up to two events for one usage pressed: the maker's library announces the
// extended key set before every extended key.
struct UsageEvents {
    USHORT page;
    USHORT usage;
    int nCount;
    int aType[2];
    int aValue[2];
};

// The events for a usage going down; null for one that means nothing here.
// The hook switch is not in this table: it is a state, not a key.
const UsageEvents* FindUsageEvents(USHORT page, USHORT usage);

// The events for the hook switch changing: going off-hook, while ringing or
// not, and going back on-hook.
const UsageEvents& FindHookEvents(BOOL bOffHook, BOOL bRinging);

// The usages to set in the output reports for a phone state command, ended
// by a zero usage; null for a code that is not a command.
struct LampUsage {
    USHORT page;
    USHORT usage;
};
const LampUsage* FindCommandLamps(DWORD code);

const DWORD QV_COMMAND_IDLE = 0x1001;
const DWORD QV_COMMAND_RINGING = 0x1004;
// Not a command: what "ringing" becomes once the hook has answered it.
const DWORD QV_COMMAND_RINGING_ANSWERED = 0x11004;
