#pragma once

#include <windows.h>

#include "hid/input_decoder.h"
#include "hid/io_slot.h"
#include "hid/usage_table.h"

// One open telephony collection: its handle, opened shared so that a
// softphone that drives the same device keeps it, its parsed descriptor, the
// decoder of its input reports and the output reports its lamps are in.
class CHidPhone {
public:
    // Opens the collection at pszPath for overlapped reading and writing; null
    // if it cannot be opened or is not a collection with input reports.
    static CHidPhone* Open(const wchar_t* pszPath);
    ~CHidPhone();
    CHidPhone(const CHidPhone&) = delete;
    CHidPhone& operator=(const CHidPhone&) = delete;

    HANDLE Handle() const { return m_hDevice; }
    ULONG InputLength() const { return m_caps.InputReportByteLength; }
    CInputDecoder& Decoder() { return m_decoder; }
    volatile LONG* LastCommand() { return &m_lLastCommand; }

    // Sets the lamps (and the ringer) for a phone state command, in every
    // output report that holds any. TRUE when each was written, or there was
    // none to write; FALSE when a write failed or the device did not take it
    // in time. On any thread; one at a time.
    BOOL SendCommand(DWORD code);
    // Whether a command other than idle was the last sent.
    BOOL HasLitLamps() const { return m_lLastCommand != 0 && m_lLastCommand != QV_COMMAND_IDLE; }

private:
    CHidPhone() = default;
    BOOL Init();
    BOOL WriteReport(const BYTE* pReport, ULONG cb);

    static const int MAX_LAMP_REPORTS = 8;

    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
    PHIDP_PREPARSED_DATA m_pData = nullptr;
    HIDP_CAPS m_caps = {};
    CInputDecoder m_decoder;
    UCHAR m_aLampReports[MAX_LAMP_REPORTS] = {};
    int m_nLampReports = 0;
    IoSlot* m_pStuckWrite = nullptr; // a write the device has not answered
    volatile LONG m_lLastCommand = 0;
};
