#include "handset_input.h"

#include <string.h>

namespace {

struct KeyName {
    const char* name;
    HandsetEvent event;
};

const int kKeypad = 11;

const KeyName kKeys[] = {
    {"0", {kKeypad, 0x80}},   {"1", {kKeypad, 0x81}},      {"2", {kKeypad, 0x82}},
    {"3", {kKeypad, 0x83}},   {"4", {kKeypad, 0x84}},      {"5", {kKeypad, 0x85}},
    {"6", {kKeypad, 0x86}},   {"7", {kKeypad, 0x87}},      {"8", {kKeypad, 0x88}},
    {"9", {kKeypad, 0x89}},   {"*", {kKeypad, 0x8B}},      {"#", {kKeypad, 0x8C}},
    {"down", {kKeypad, 0x8D}}, {"up", {kKeypad, 0x8E}},    {"enter", {kKeypad, 0x91}},
    {"activate", {12, 0}},    {"escape", {13, 0}},         {"forward-on", {14, 0}},
    {"forward-off", {15, 0}}, {"keyset", {0, 256}},        {"right", {4, 4}},
    {"f5", {4, 20}},          {"left", {4, 35}},
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
