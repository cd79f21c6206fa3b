#include "hid_phone.h"

#include "hid/usage_table.h"

namespace {

// How long a command waits for the device to take its report. The program
// waits for the answer on its one thread, and the sender of the phone state
// on it, so a device that stops answering costs this once, then nothing.
const DWORD WRITE_WAIT_MS = 500;
// How long closing waits for a write the device left unanswered.
const DWORD CLOSE_WAIT_MS = 200;

BOOL HoldsLamp(const HIDP_BUTTON_CAPS& cap)
{
    if (cap.UsagePage == HID_PAGE_LED)
        return TRUE;
    if (cap.UsagePage != HID_PAGE_TELEPHONY)
        return FALSE;
    if (cap.IsRange)
        return cap.Range.UsageMin <= HID_TELEPHONY_RINGER && HID_TELEPHONY_RINGER <= cap.Range.UsageMax;
    return cap.NotRange.Usage == HID_TELEPHONY_RINGER;
}

} // namespace

CHidPhone* CHidPhone::Open(const wchar_t* pszPath)
{
    CHidPhone* pPhone = new CHidPhone;
    pPhone->m_hDevice = ::CreateFileW(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (pPhone->m_hDevice == INVALID_HANDLE_VALUE || !pPhone->Init()) {
        delete pPhone;
        return nullptr;
    }
    return pPhone;
}

BOOL CHidPhone::Init()
{
    if (!::HidD_GetPreparsedData(m_hDevice, &m_pData))
        return FALSE;
    if (::HidP_GetCaps(m_pData, &m_caps) != HIDP_STATUS_SUCCESS || m_caps.InputReportByteLength == 0)
        return FALSE;
    if (!m_decoder.Init(m_pData, m_caps))
        return FALSE;

    USHORT nCaps = m_caps.NumberOutputButtonCaps;
    if (nCaps == 0 || m_caps.OutputReportByteLength == 0)
        return TRUE; // a device without lamps: commands have nothing to do
    HIDP_BUTTON_CAPS* pCaps = new HIDP_BUTTON_CAPS[nCaps];
    if (::HidP_GetButtonCaps(HidP_Output, pCaps, &nCaps, m_pData) != HIDP_STATUS_SUCCESS)
        nCaps = 0;
    for (USHORT i = 0; i < nCaps; ++i) {
        if (!HoldsLamp(pCaps[i]))
            continue;
        BOOL bKnown = FALSE;
        for (int j = 0; j < m_nLampReports; ++j)
            bKnown = bKnown || m_aLampReports[j] == pCaps[i].ReportID;
        if (!bKnown && m_nLampReports < MAX_LAMP_REPORTS)
            m_aLampReports[m_nLampReports++] = pCaps[i].ReportID;
    }
    delete[] pCaps;
    return TRUE;
}

CHidPhone::~CHidPhone()
{
    if (m_hDevice != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hDevice);
    // Closing the handle ends its requests; one the driver still holds keeps
    // its block, a few bytes, rather than having it freed under the driver.
    IoSlot::FreeWhenDone(m_pStuckWrite, CLOSE_WAIT_MS);
    if (m_pData != nullptr)
        ::HidD_FreePreparsedData(m_pData);
}

BOOL CHidPhone::SendCommand(DWORD code)
{
    const LampUsage* pLamps = FindCommandLamps(code);
    if (pLamps == nullptr)
        return FALSE;
    ::InterlockedExchange(&m_lLastCommand, static_cast<LONG>(code));

    ULONG cb = m_caps.OutputReportByteLength;
    BYTE* pReport = new BYTE[cb > 0 ? cb : 1];
    BOOL bWritten = TRUE;
    for (int i = 0; i < m_nLampReports && bWritten; ++i) {
        PCHAR pBytes = reinterpret_cast<PCHAR>(pReport);
        if (::HidP_InitializeReportForID(HidP_Output, m_aLampReports[i], m_pData, pBytes, cb) != HIDP_STATUS_SUCCESS) {
            bWritten = FALSE;
            break;
        }
        // One usage at a time: a lamp this report (or this device) lacks is
        // refused on its own and the others are still set.
        for (const LampUsage* pLamp = pLamps; pLamp->usage != 0; ++pLamp) {
            USAGE usage = pLamp->usage;
            ULONG nUsages = 1;
            ::HidP_SetUsages(HidP_Output, pLamp->page, 0, &usage, &nUsages, m_pData, pBytes, cb);
        }
        bWritten = WriteReport(pReport, cb);
    }
    delete[] pReport;
    return bWritten;
}

BOOL CHidPhone::WriteReport(const BYTE* pReport, ULONG cb)
{
    if (m_pStuckWrite != nullptr) {
        // Still not answered: no second wait on a device that stopped answering.
        if (!IoSlot::FreeWhenDone(m_pStuckWrite, 0))
            return FALSE;
        m_pStuckWrite = nullptr;
    }
    IoSlot* pSlot = IoSlot::Create(cb);
    if (pSlot == nullptr)
        return FALSE;
    ::CopyMemory(pSlot->data, pReport, cb);
    DWORD written = 0;
    BOOL bDone = ::WriteFile(m_hDevice, pSlot->data, cb, nullptr, &pSlot->ov);
    if (!bDone && ::GetLastError() != ERROR_IO_PENDING) {
        IoSlot::Free(pSlot);
        return FALSE;
    }
    if (!bDone && ::WaitForSingleObject(pSlot->ov.hEvent, WRITE_WAIT_MS) != WAIT_OBJECT_0) {
        // Cancelled, but the driver may hold the request for as long as it
        // likes: the block stays until it says it is over.
        ::CancelIo(m_hDevice);
        m_pStuckWrite = pSlot;
        return FALSE;
    }
    // With report ids Wine counts one byte fewer than written: success is the answer.
    bDone = ::GetOverlappedResult(m_hDevice, &pSlot->ov, &written, FALSE);
    IoSlot::Free(pSlot);
    return bDone;
}
