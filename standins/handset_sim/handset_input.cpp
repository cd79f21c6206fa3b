#include "handset_input.h"

#include "app/outside_interface.h"

#include <string.h>

namespace {

struct KeyName {
    const char* name;
    HandsetEvent event;
};

const KeyName s_keys[] = {
    {"0", {QV_EVENT_KEY, QV_KEY_0}},
    {"1", {QV_EVENT_KEY, QV_KEY_0 + 1}},
    {"2", {QV_EVENT_KEY, QV_KEY_0 + 2}},
    {"3", {QV_EVENT_KEY, QV_KEY_0 + 3}},
    {"4", {QV_EVENT_KEY, QV_KEY_0 + 4}},
    {"5", {QV_EVENT_KEY, QV_KEY_0 + 5}},
    {"6", {QV_EVENT_KEY, QV_KEY_0 + 6}},
    {"7", {QV_EVENT_KEY, QV_KEY_0 + 7}},
    {"8", {QV_EVENT_KEY, QV_KEY_0 + 8}},
    {"9", {QV_EVENT_KEY, QV_KEY_0 + 9}},
    {"*", {QV_EVENT_KEY, QV_KEY_STAR}},
    {"#", {QV_EVENT_KEY, QV_KEY_HASH}},
    {"down", {QV_EVENT_KEY, QV_KEY_DOWN}},
    {"up", {QV_EVENT_KEY, QV_KEY_UP}},
    {"enter", {QV_EVENT_KEY, QV_KEY_ENTER}},
    {"activate", {QV_EVENT_ACTIVATE, 0}},
    {"escape", {QV_EVENT_ESCAPE, 0}},
    {"forward-on", {QV_EVENT_FORWARD_ON, 0}},
    {"forward-off", {QV_EVENT_FORWARD_OFF, 0}},
    {"keyset", {QV_EVENT_KEYSET, QV_KEYSET_FIRST}},
    {"right", {QV_EVENT_EXTENDED_KEY, QV_EXTENDED_RIGHT}},
    {"f5", {QV_EVENT_EXTENDED_KEY, QV_EXTENDED_F5}},
    {"left", {QV_EVENT_EXTENDED_KEY, QV_EXTENDED_LEFT}},
};

int DigitValue(char c, BOOL bHex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (bHex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (bHex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

BOOL ParseEventNumber(const char* text, int* pResult)
{
    BOOL bNegative = *text == '-';
    if (bNegative)
        ++text;
    BOOL bHex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (bHex)
        text += 2;
    if (*text == '\0')
        return FALSE;

    const long long limit = bNegative ? 0x80000000LL : 0xFFFFFFFFLL;
    long long magnitude = 0;
    for (; *text != '\0'; ++text) {
        int digit = DigitValue(*text, bHex);
        if (digit < 0)
            return FALSE;
        magnitude = magnitude * (bHex ? 16 : 10) + digit;
        if (magnitude > limit)
            return FALSE;
    }
    long long value = bNegative ? -magnitude : magnitude;
    *pResult = static_cast<int>(static_cast<unsigned int>(value & 0xFFFFFFFFLL));
    return TRUE;
}

BOOL LookupKey(const char* name, HandsetEvent* pEvent)
{
    for (const KeyName& key : s_keys) {
        if (_stricmp(key.name, name) == 0) {
            *pEvent = key.event;
            return TRUE;
        }
    }
    return FALSE;
}
