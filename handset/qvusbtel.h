// The handset maker's library, QVUSBTEL.dll, as this program calls it.
//
// This header is the one assumption we make about the maker's binary: a single
// stdcall entry point exported by its undecorated name. Our own stand-in DLL
// implements exactly this, so the maker's DLL can be dropped in beside the exe.
#pragma once

#include "app/outside_interface.h" // its codes and event types

// Called by the library, on a thread of its own, for every handset event.
typedef int(WINAPI* QV_HANDSET_CALLBACK)(int type, int value, void* context);

extern "C" {

// Open (code 0) takes the callback and its context and returns nonzero once the
// device is open; close and the command codes take null for both. The last
// three arguments are always 0.
int WINAPI QV_DeviceIoControl(DWORD code, QV_HANDSET_CALLBACK callback, void* context,
                              DWORD reserved1, DWORD reserved2, DWORD reserved3);
}
