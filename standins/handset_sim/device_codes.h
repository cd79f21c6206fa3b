#pragma once

#include <windows.h>

// What the simulated handset makes of each code the library sends it: a desk
// phone's lamp, set by the program's phone-state commands. The names are the
// simulator's own; the panel shows them, and the command line names open and close.
struct DeviceCode {
    DWORD code;
    const char* name;
    COLORREF lamp; // the lamp while this is the last code received
};

const COLORREF LAMP_OFF = RGB(72, 72, 72);

// A code outside the table comes back named "unknown", with the lamp off.
const DeviceCode& DescribeCode(DWORD code);
