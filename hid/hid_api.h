// hid.dll's interface. mingw's hidpi.h and hidsdi.h declare it without C
// linkage, so they are included once, here, inside it.
#pragma once

#include <windows.h>

#include <hidusage.h>
extern "C" {
#include <hidpi.h>
#include <hidsdi.h>
}
