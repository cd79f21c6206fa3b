// Inside the virtual phone's library: the control requests, shared by its parts.
#pragma once

#include <windows.h>

BOOL VirtualPhoneIsPresent();
BOOL VirtualPhoneControl(DWORD code, const void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbOut);
