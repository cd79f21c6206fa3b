#pragma once

#include <windows.h>

// One overlapped read or write and its buffer, in one block on the heap: a
// request the device never completes keeps its block, which is then left to
// it rather than freed under the kernel's hands.
struct IoSlot {
    OVERLAPPED ov;
    ULONG cb;
    BYTE data[1];

    // cb bytes of buffer and a manual-reset event; null if either fails.
    static IoSlot* Create(ULONG cb);
    // Frees one whose request never started, or is over.
    static void Free(IoSlot* pSlot);
    // Frees one whose request started, if it ends within waitMs; returns whether it did.
    static BOOL FreeWhenDone(IoSlot* pSlot, DWORD waitMs);
    BOOL IsDone() const { return ::WaitForSingleObject(ov.hEvent, 0) == WAIT_OBJECT_0; }
};
