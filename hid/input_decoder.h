#pragma once

#include <windows.h>

#include "hid/hid_api.h"

struct HandsetEvent {
    int type;
    int value;
};

// Turns a device's input reports into the maker's events, through hid.dll's
// own parser: keys on the way down (whether the device reports them as
// buttons or as an array), and the hook switch from the state it reports or,
// on a device that reports it as a toggle, from each flip.
class CInputDecoder {
public:
    CInputDecoder() = default;
    ~CInputDecoder();
    CInputDecoder(const CInputDecoder&) = delete;
    CInputDecoder& operator=(const CInputDecoder&) = delete;

    // Learns the device's reports from its parsed descriptor, which must
    // outlive the decoder. False if it cannot be read.
    BOOL Init(PHIDP_PREPARSED_DATA pData, const HIDP_CAPS& caps);

    // One input report, its report id first. *pLastCommand is the command
    // last sent to the device: lifting the hook while it is "ringing"
    // answers, and takes the ringing off so that it answers only once.
    // Returns how many events it put in aEvents.
    int Decode(const BYTE* pReport, ULONG cb, volatile LONG* pLastCommand, HandsetEvent* aEvents, int nMax);

private:
    // The keys down in the last report of one report id: a report of another
    // id says nothing about them.
    struct ReportKeys {
        BOOL bUsed;
        UCHAR id;
        ULONG nDown;
        USAGE_AND_PAGE* pDown;
    };
    static const int MAX_REPORT_IDS = 16;
    enum HookKind : BYTE { HOOK_NONE, HOOK_ABSOLUTE, HOOK_TOGGLE };

    ReportKeys* KeysOf(UCHAR id);

    PHIDP_PREPARSED_DATA m_pData = nullptr;
    ULONG m_nMaxUsages = 0;
    USAGE_AND_PAGE* m_pNow = nullptr;
    ReportKeys m_aKeys[MAX_REPORT_IDS] = {};
    BYTE m_aHookKind[256] = {}; // per report id: how it reports the hook switch
    BOOL m_bOffHook = FALSE;   // a device starts on-hook until it says otherwise
};
