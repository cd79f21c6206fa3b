#pragma once

#include <windows.h>

// Posted to the host window for each handset event: WPARAM type, LPARAM value.
const UINT WM_HANDSET_EVENT = WM_USER + 101;

// The callback handed to the library at open, with the host as its context.
int WINAPI HandsetCallback(int type, int value, void* context);

// The host makes itself known to the callback once its window exists, and
// withdraws before it is freed.
void RegisterHandsetHost(const void* context, HWND hWnd);
void UnregisterHandsetHost(const void* context);
