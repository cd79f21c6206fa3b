#include "input_decoder.h"

#include "hid/usage_table.h"

namespace {

// Bit 0 of a main item's data: Constant rather than Data.
const USHORT HID_MAIN_ITEM_CONSTANT = 0x01;

BOOL Contains(const USAGE_AND_PAGE* pList, ULONG n, USHORT page, USHORT usage)
{
    for (ULONG i = 0; i < n; ++i) {
        if (pList[i].UsagePage == page && pList[i].Usage == usage)
            return TRUE;
    }
    return FALSE;
}

BOOL CoversHookSwitch(const HIDP_BUTTON_CAPS& cap)
{
    if (cap.UsagePage != HID_PAGE_TELEPHONY)
        return FALSE;
    if (cap.IsRange)
        return cap.Range.UsageMin <= HID_TELEPHONY_HOOK_SWITCH && HID_TELEPHONY_HOOK_SWITCH <= cap.Range.UsageMax;
    return cap.NotRange.Usage == HID_TELEPHONY_HOOK_SWITCH;
}

int Append(const UsageEvents& events, HandsetEvent* aEvents, int count, int nMax)
{
    for (int i = 0; i < events.nCount && count < nMax; ++i)
        aEvents[count++] = {events.aType[i], events.aValue[i]};
    return count;
}

} // namespace

CInputDecoder::~CInputDecoder()
{
    delete[] m_pNow;
    for (const ReportKeys& keys : m_aKeys)
        delete[] keys.pDown;
}

BOOL CInputDecoder::Init(PHIDP_PREPARSED_DATA pData, const HIDP_CAPS& caps)
{
    m_pData = pData;
    m_nMaxUsages = ::HidP_MaxUsageListLength(HidP_Input, 0, pData);
    if (m_nMaxUsages == 0)
        m_nMaxUsages = 1;
    m_pNow = new USAGE_AND_PAGE[m_nMaxUsages];

    USHORT nCaps = caps.NumberInputButtonCaps;
    if (nCaps == 0)
        return TRUE;
    HIDP_BUTTON_CAPS* pCaps = new HIDP_BUTTON_CAPS[nCaps];
    BOOL bRead = ::HidP_GetButtonCaps(HidP_Input, pCaps, &nCaps, pData) == HIDP_STATUS_SUCCESS;
    for (USHORT i = 0; bRead && i < nCaps; ++i) {
        // IsAbsolute tells a hook switch that reports where the hook is from
        // one that reports only that it moved.
        // A field its descriptor calls Constant carries no data, whatever
        // usage it names (a speakerphone's firmware flags its hook switch so;
        // Wine's parser then reads the key pad's bits as the hook's).
        if (CoversHookSwitch(pCaps[i]) && (pCaps[i].BitField & HID_MAIN_ITEM_CONSTANT) == 0)
            m_aHookKind[pCaps[i].ReportID] = pCaps[i].IsAbsolute ? HOOK_ABSOLUTE : HOOK_TOGGLE;
    }
    delete[] pCaps;
    return bRead;
}

CInputDecoder::ReportKeys* CInputDecoder::KeysOf(UCHAR id)
{
    for (ReportKeys& keys : m_aKeys) {
        if (keys.bUsed && keys.id == id)
            return &keys;
    }
    for (ReportKeys& keys : m_aKeys) {
        if (!keys.bUsed) {
            keys = {TRUE, id, 0, new USAGE_AND_PAGE[m_nMaxUsages]};
            return &keys;
        }
    }
    return nullptr; // more report ids than any phone has: their keys repeat
}

int CInputDecoder::Decode(const BYTE* pReport, ULONG cb, volatile LONG* pLastCommand, HandsetEvent* aEvents,
                          int nMax)
{
    if (m_pNow == nullptr || cb == 0)
        return 0;
    ULONG nNow = m_nMaxUsages;
    // A report with no buttons down, or none at all in it, lists nothing.
    if (::HidP_GetUsagesEx(HidP_Input, 0, m_pNow, &nNow, m_pData, reinterpret_cast<PCHAR>(const_cast<BYTE*>(pReport)),
                           cb)
        != HIDP_STATUS_SUCCESS)
        nNow = 0;

    int count = 0;
    UCHAR id = pReport[0];
    if (m_aHookKind[id] != HOOK_NONE) {
        BOOL bDown = Contains(m_pNow, nNow, HID_PAGE_TELEPHONY, HID_TELEPHONY_HOOK_SWITCH);
        BOOL bOffHook = m_aHookKind[id] == HOOK_ABSOLUTE ? bDown : (bDown != m_bOffHook);
        if (bOffHook != m_bOffHook) {
            m_bOffHook = bOffHook;
            BOOL bAnswer = bOffHook
                && ::InterlockedCompareExchange(pLastCommand, QV_COMMAND_RINGING_ANSWERED, QV_COMMAND_RINGING) == QV_COMMAND_RINGING;
            count = Append(FindHookEvents(bOffHook, bAnswer), aEvents, count, nMax);
        }
    }

    ReportKeys* pKeys = KeysOf(id);
    for (ULONG i = 0; i < nNow; ++i) {
        const USAGE_AND_PAGE& now = m_pNow[i];
        if (pKeys != nullptr && Contains(pKeys->pDown, pKeys->nDown, now.UsagePage, now.Usage))
            continue; // still held
        if (const UsageEvents* pEvents = FindUsageEvents(now.UsagePage, now.Usage))
            count = Append(*pEvents, aEvents, count, nMax);
    }
    if (pKeys != nullptr) {
        ::CopyMemory(pKeys->pDown, m_pNow, nNow * sizeof(USAGE_AND_PAGE));
        pKeys->nDown = nNow;
    }
    return count;
}
