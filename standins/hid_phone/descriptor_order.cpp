// Wine 8's HID class driver gives a device one collection only, whose usage
// page is that of the descriptor's first top-level collection (Windows gives
// each top-level collection a device path of its own). Real headsets often
// put their Consumer Control collection first, which would hide their
// telephony collection from any program under Wine; so the virtual phone
// presents the telephony collection first. The reports of the others stay
// reachable through the same handle, as on a device with one collection.
// Each of these devices' top-level collections sets its own usage page,
// logical range and report size, so none depends on the one before it.
#include "standins/hid_phone/descriptor_order.h"

#include <string.h>

namespace {

// A short item's total size; a long item (prefix 0xFE) carries its own.
DWORD ItemSize(const BYTE* p, DWORD cbLeft)
{
    if (p[0] == 0xFE)
        return cbLeft >= 3 ? 3u + p[1] : 0;
    DWORD size = p[0] & 3;
    return 1 + (size == 3 ? 4 : size);
}

} // namespace

DWORD PutCollectionFirst(const BYTE* pDescriptor, DWORD cb, USHORT usagePage, BYTE* pOut)
{
    const DWORD MAX_COLLECTIONS = 16;
    DWORD starts[MAX_COLLECTIONS + 1];
    USHORT pages[MAX_COLLECTIONS];
    DWORD nCollections = 0;
    DWORD depth = 0;
    USHORT page = 0;
    DWORD segmentStart = 0;
    for (DWORD i = 0; i < cb;) {
        DWORD size = ItemSize(pDescriptor + i, cb - i);
        if (size == 0 || size > cb - i)
            return 0;
        BYTE tag = pDescriptor[i] & 0xFC;
        if (tag == 0x04 && size > 1) // Usage Page: its low 16 bits
            page = static_cast<USHORT>(pDescriptor[i + 1] | (size > 2 ? pDescriptor[i + 2] << 8 : 0));
        if (tag == 0xA0) { // Collection
            if (depth == 0) {
                if (nCollections == MAX_COLLECTIONS)
                    return 0;
                starts[nCollections] = segmentStart;
                pages[nCollections++] = page;
            }
            ++depth;
        } else if (tag == 0xC0) { // End Collection
            if (depth == 0)
                return 0;
            if (--depth == 0)
                segmentStart = i + size;
        }
        i += size;
    }
    if (depth != 0 || nCollections == 0)
        return 0;
    // Whatever follows the last collection (padding, stray globals) stays last.
    starts[nCollections] = segmentStart;
    DWORD first = 0;
    while (first < nCollections && pages[first] != usagePage)
        ++first;
    if (first == nCollections)
        first = 0;
    DWORD written = 0;
    auto copySegment = [&](DWORD index) {
        DWORD begin = starts[index], end = index + 1 < nCollections ? starts[index + 1] : starts[nCollections];
        memcpy(pOut + written, pDescriptor + begin, end - begin);
        written += end - begin;
    };
    copySegment(first);
    for (DWORD k = 0; k < nCollections; ++k)
        if (k != first)
            copySegment(k);
    memcpy(pOut + written, pDescriptor + starts[nCollections], cb - starts[nCollections]);
    written += cb - starts[nCollections];
    return written;
}
