#pragma once

#include <windows.h>

// Stand-ins for SetForegroundWindow, for the program's seam: Wine gives the
// foreground to any caller, Windows does not.

// Windows' rule: granted to the foreground window's own thread, to a thread
// sharing its input state (attached by AttachThreadInput), while there is no
// foreground window, or to a caller that gave input since it was refused;
// then the real SetForegroundWindow. Each thread of the test stands for a
// program of its own.
BOOL WINAPI SetForegroundWindowByTheRule(HWND hWnd);

// Windows refusing every request, as under another program's foreground lock.
BOOL WINAPI SetForegroundWindowRefused(HWND hWnd);
