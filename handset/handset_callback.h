#pragma once

#include "app/outside_interface.h"

// The callback handed to the library at open, with the host as its context.
int WINAPI HandsetCallback(int type, int value, void* context);

// The host makes itself known to the callback once its window exists, and
// withdraws before it is freed.
void RegisterHandsetHost(const void* context, HWND hWnd);
void UnregisterHandsetHost(const void* context);
