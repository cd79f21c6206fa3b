// The order in which the virtual phone presents a device's top-level collections.
#pragma once

#include <windows.h>

// Copies the report descriptor with its first top-level collection on the
// given usage page moved to the front, the others after it in their order.
// Returns the length written (cb), or 0 when the descriptor's items do not
// add up to whole top-level collections.
DWORD PutCollectionFirst(const BYTE* pDescriptor, DWORD cb, USHORT usagePage, BYTE* pOut);
