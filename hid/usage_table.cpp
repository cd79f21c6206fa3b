#include "usage_table.h"

#include "app/outside_interface.h"

namespace {

const int K = QV_EVENT_KEY;

// Telephony page (0x0B) usages, from the HID Usage Tables' Telephony Device page.
const UsageEvents s_usageEvents[] = {
    // Phone Key 0 to 9: the maker's digit codes, which the key bridge types
    // as the digits themselves.
    {HID_PAGE_TELEPHONY, 0xB0, 1, {K}, {QV_KEY_0 + 0}},
    {HID_PAGE_TELEPHONY, 0xB1, 1, {K}, {QV_KEY_0 + 1}},
    {HID_PAGE_TELEPHONY, 0xB2, 1, {K}, {QV_KEY_0 + 2}},
    {HID_PAGE_TELEPHONY, 0xB3, 1, {K}, {QV_KEY_0 + 3}},
    {HID_PAGE_TELEPHONY, 0xB4, 1, {K}, {QV_KEY_0 + 4}},
    {HID_PAGE_TELEPHONY, 0xB5, 1, {K}, {QV_KEY_0 + 5}},
    {HID_PAGE_TELEPHONY, 0xB6, 1, {K}, {QV_KEY_0 + 6}},
    {HID_PAGE_TELEPHONY, 0xB7, 1, {K}, {QV_KEY_0 + 7}},
    {HID_PAGE_TELEPHONY, 0xB8, 1, {K}, {QV_KEY_0 + 8}},
    {HID_PAGE_TELEPHONY, 0xB9, 1, {K}, {QV_KEY_0 + 9}},
    // Phone Key Star: the maker's star, which the softphone receives as the
    // keypad's multiply key, as from the maker's handset.
    {HID_PAGE_TELEPHONY, 0xBA, 1, {K}, {QV_KEY_STAR}},
    // Phone Key Pound: the maker's hash, the keypad's divide key to the softphone.
    {HID_PAGE_TELEPHONY, 0xBB, 1, {K}, {QV_KEY_HASH}},
    // Redial: the softphone redials on F5, an extended key, which the program
    // types only after the extended key set was announced.
    {HID_PAGE_TELEPHONY, 0x24, 2, {QV_EVENT_KEYSET, QV_EVENT_EXTENDED_KEY}, {QV_KEYSET_FIRST, QV_EXTENDED_F5}},
};

// The hook switch, as a user of the maker's handset works it: lifting it
// brings the softphone forward to dial; lifting it while the phone rings also
// answers, with the softphone's Enter; putting it back hangs up, with Escape.
const UsageEvents s_offHook = {HID_PAGE_TELEPHONY, HID_TELEPHONY_HOOK_SWITCH, 1, {QV_EVENT_ACTIVATE}, {0}};
const UsageEvents s_answer = {
    HID_PAGE_TELEPHONY, HID_TELEPHONY_HOOK_SWITCH, 2, {QV_EVENT_ACTIVATE, K}, {0, QV_KEY_ENTER}};
const UsageEvents s_onHook = {HID_PAGE_TELEPHONY, HID_TELEPHONY_HOOK_SWITCH, 1, {QV_EVENT_ESCAPE}, {0}};

// Lamps per command. A device lights what it has of these: a usage its
// output reports lack is left out. Ends with a zero usage.
const LampUsage s_idle[] = {{0, 0}}; // everything off
// Ringing: the Ring lamp, and the ringer itself on a device that has one.
const LampUsage s_ringing[] = {{HID_PAGE_LED, 0x18}, {HID_PAGE_TELEPHONY, HID_TELEPHONY_RINGER}, {0, 0}};
// Talking: the line is in use.
const LampUsage s_talking[] = {{HID_PAGE_LED, 0x17}, {0, 0}};
// On hold: the Hold lamp, with Off-Hook kept on, since the call still holds
// the line; a headset that takes Off-Hook off as the call's end would drop it.
const LampUsage s_onHold[] = {{HID_PAGE_LED, 0x20}, {HID_PAGE_LED, 0x17}, {0, 0}};
// Busy: the user is still off-hook, hearing the busy tone; the Busy lamp
// (LED page 0x2C) where the device has one says why nothing is connected.
const LampUsage s_busy[] = {{HID_PAGE_LED, 0x2C}, {HID_PAGE_LED, 0x17}, {0, 0}};

struct CommandLamps {
    DWORD code;
    const LampUsage* pLamps;
};

const CommandLamps s_commands[] = {
    {QV_COMMAND_IDLE, s_idle}, {0x1003, s_onHold}, {QV_COMMAND_RINGING, s_ringing}, {0x1005, s_talking}, {0x1006, s_busy},
};

} // namespace

const UsageEvents* FindUsageEvents(USHORT page, USHORT usage)
{
    for (const UsageEvents& entry : s_usageEvents) {
        if (entry.page == page && entry.usage == usage)
            return &entry;
    }
    return nullptr;
}

const UsageEvents& FindHookEvents(BOOL bOffHook, BOOL bRinging)
{
    if (!bOffHook)
        return s_onHook;
    return bRinging ? s_answer : s_offHook;
}

const LampUsage* FindCommandLamps(DWORD code)
{
    for (const CommandLamps& entry : s_commands) {
        if (entry.code == code)
            return entry.pLamps;
    }
    return nullptr;
}
