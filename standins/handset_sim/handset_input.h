#pragma once

#include <windows.h>

// Turns command-line words into handset events.
struct HandsetEvent {
    int type;
    int value;
};

// Decimal or 0x-hex, optionally negative, anything that fits in 32 bits
// (so -1 and 0xFFFFFFFF are the same event field).
BOOL ParseEventNumber(const char* text, int* pResult);

// Key names as the handset's keys are known; case does not matter.
BOOL LookupKey(const char* name, HandsetEvent* pEvent);
