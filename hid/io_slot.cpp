#include "io_slot.h"

#include <stddef.h>

IoSlot* IoSlot::Create(ULONG cb)
{
    auto* pSlot = static_cast<IoSlot*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, offsetof(IoSlot, data) + cb));
    if (pSlot == nullptr)
        return nullptr;
    pSlot->cb = cb;
    pSlot->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (pSlot->ov.hEvent == nullptr) {
        ::HeapFree(::GetProcessHeap(), 0, pSlot);
        return nullptr;
    }
    return pSlot;
}

void IoSlot::Free(IoSlot* pSlot)
{
    if (pSlot == nullptr)
        return;
    ::CloseHandle(pSlot->ov.hEvent);
    ::HeapFree(::GetProcessHeap(), 0, pSlot);
}

BOOL IoSlot::FreeWhenDone(IoSlot* pSlot, DWORD waitMs)
{
    if (pSlot != nullptr && ::WaitForSingleObject(pSlot->ov.hEvent, waitMs) != WAIT_OBJECT_0)
        return FALSE;
    Free(pSlot);
    return TRUE;
}
