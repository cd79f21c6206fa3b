#include "handset_input.h"

#include "app/outside_interface.h"

#include <string.h>

namespace {

struct KeyName {
    const char* name;
    HandsetEvent event;
};

const int kKey = QV_EVENT_KEY;
const int kExtended = QV_EVENT_EXTENDED_KEY;

const KeyName kKeys[] = {
    {"0", {kKey, QV_KEY_0}},     {"1", {kKey, QV_KEY_0 + 1}},   {"2", {kKey, QV_KEY_0 + 2}},
    {"3", {kKey, QV_KEY_0 + 3}}, {"4", {kKey, QV_KEY_0 + 4}},   {"5", {kKey, QV_KEY_0 + 5}},
    {"6", {kKey, QV_KEY_0 + 6}}, {"7", {kKey, QV_KEY_0 + 7}},   {"8", {kKey, QV_KEY_0 + 8}},
    {"9", {kKey, QV_KEY_0 + 9}}, {"*", {kKey, QV_KEY_STAR}},    {"#", {kKey, QV_KEY_HASH}},
    {"down", {kKey, QV_KEY_DOWN}}, {"up", {kKey, QV_KEY_UP}},   {"enter", {kKey, QV_KEY_ENTER}},
    {"activate", {QV_EVENT_ACTIVATE, 0}},        {"escape", {QV_EVENT_ESCAPE, 0}},
    {"forward-on", {QV_EVENT_FORWARD_ON, 0}},    {"forward-off", {QV_EVENT_FORWARD_OFF, 0}},
    {"keyset", {QV_EVENT_KEYSET, QV_KEYSET_FIRST}}, {"right", {kExtended, QV_EXTENDED_RIGHT}},
    {"f5", {kExtended, QV_EXTENDED_F5}},         {"left", {kExtended, QV_EXTENDED_LEFT}},
};

int DigitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseEventNumber(const char* text, int* pResult)
{
    bool negative = *text == '-';
    if (negative)
        ++text;
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex)
        text += 2;
    if (*text == '\0')
        return false;

    const long long kLimit = negative ? 0x80000000LL : 0xFFFFFFFFLL;
    long long magnitude = 0;
    for (; *text != '\0'; ++text) {
        int digit = DigitValue(*text, hex);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > kLimit)
            return false;
    }
    long long value = negative ? -magnitude : magnitude;
    *pResult = static_cast<int>(static_cast<unsigned int>(value & 0xFFFFFFFFLL));
    return true;
}

bool LookupKey(const char* name, HandsetEvent* pEvent)
{
    for (const KeyName& key : kKeys) {
        if (_stricmp(key.name, name) == 0) {
            *pEvent = key.event;
            return true;
        }
    }
    return false;
}
