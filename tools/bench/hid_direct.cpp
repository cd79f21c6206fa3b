// bench-hid-direct: the baseline scripts/bench sets the HID edition against.
// It reads the virtual USB phone's telephony collection itself, with a plain
// blocking ReadFile, parses each input report with hid.dll and posts the key
// pad's digits straight to the softphone's window: the same wake-up by the
// device and the same parser, without the library's thread, the program's
// queue and its bridge in between.
#include "app/outside_interface.h"
#include "hid/hid_api.h"
#include "standins/hid_phone/virtual_phone.h"

#include <cstdio>

namespace {

const USHORT PAGE_TELEPHONY = 0x0B;
const USAGE PHONE_KEY_0 = 0xB0;
const USAGE PHONE_KEY_9 = 0xB9;
// Enough for any key pad: it reports one key, or a few held together.
const ULONG MAX_USAGES = 16;
const DWORD FIND_RETRY_MS = 20;
const DWORD FIND_TIMEOUT_MS = 5000;

HWND s_hPhone = nullptr;

UINT VirtualKey(USAGE usage)
{
    return usage >= PHONE_KEY_0 && usage <= PHONE_KEY_9 ? '0' + (usage - PHONE_KEY_0) : 0;
}

BOOL Contains(const USAGE* pUsages, ULONG n, USAGE usage)
{
    for (ULONG i = 0; i < n; ++i) {
        if (pUsages[i] == usage)
            return TRUE;
    }
    return FALSE;
}

// A key is posted down when a report first lists it, and up when one no
// longer does, as a keyboard's keys come.
void PostChanges(const USAGE* pBefore, ULONG nBefore, const USAGE* pNow, ULONG nNow)
{
    for (ULONG i = 0; i < nNow; ++i) {
        UINT vk = VirtualKey(pNow[i]);
        if (vk != 0 && !Contains(pBefore, nBefore, pNow[i]))
            ::PostMessageA(s_hPhone, WM_KEYDOWN, vk, KEY_LPARAM);
    }
    for (ULONG i = 0; i < nBefore; ++i) {
        UINT vk = VirtualKey(pBefore[i]);
        if (vk != 0 && !Contains(pNow, nNow, pBefore[i]))
            ::PostMessageA(s_hPhone, WM_KEYUP, vk, KEY_LPARAM);
    }
}

// Reads until the device goes: its reads then fail.
void ReadKeys(HANDLE hDevice, PHIDP_PREPARSED_DATA pData, ULONG cbReport)
{
    BYTE* pReport = new BYTE[cbReport];
    USAGE aHeld[MAX_USAGES], aNow[MAX_USAGES];
    ULONG nHeld = 0;
    DWORD cb = 0;
    while (::ReadFile(hDevice, pReport, cbReport, &cb, nullptr)) {
        // Wine hands a short report back short; the parser wants the whole length.
        if (cb < cbReport)
            ::ZeroMemory(pReport + cb, cbReport - cb);
        ULONG nNow = MAX_USAGES;
        if (::HidP_GetUsages(HidP_Input, PAGE_TELEPHONY, 0, aNow, &nNow, pData, reinterpret_cast<PCHAR>(pReport),
                             cbReport)
            != HIDP_STATUS_SUCCESS)
            nNow = 0;
        PostChanges(aHeld, nHeld, aNow, nNow);
        ::CopyMemory(aHeld, aNow, nNow * sizeof(USAGE));
        nHeld = nNow;
    }
    delete[] pReport;
}

} // namespace

int main(int argc, char**)
{
    if (argc != 1) {
        std::fputs("usage: bench-hid-direct\n"
                   "Reads the plugged virtual USB phone's key pad and posts each digit straight to\n"
                   "the softphone's window as WM_KEYDOWN and WM_KEYUP, until the phone is unplugged.\n"
                   "Prints 'open' once it reads the device, 'closed' when it has gone.\n",
                   stderr);
        return 2;
    }
    s_hPhone = ::FindWindowA(SOFTPHONE_CLASS, SOFTPHONE_TITLE);
    if (s_hPhone == nullptr) {
        std::fputs("bench-hid-direct: no softphone window\n", stderr);
        return 1;
    }
    // Just plugged in, its collections come up one after the other.
    wchar_t path[MAX_PATH];
    DWORD start = ::GetTickCount();
    BOOL bFound;
    while (!(bFound = VirtualPhoneFindCollection(PAGE_TELEPHONY, path, MAX_PATH)) && ::GetTickCount() - start < FIND_TIMEOUT_MS)
        ::Sleep(FIND_RETRY_MS);
    if (!bFound) {
        std::fputs("bench-hid-direct: no telephony collection is plugged\n", stderr);
        return 1;
    }
    HANDLE hDevice = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    PHIDP_PREPARSED_DATA pData = nullptr;
    HIDP_CAPS caps = {};
    if (hDevice == INVALID_HANDLE_VALUE || !::HidD_GetPreparsedData(hDevice, &pData)
        || ::HidP_GetCaps(pData, &caps) != HIDP_STATUS_SUCCESS || caps.InputReportByteLength == 0) {
        std::fputs("bench-hid-direct: cannot read the telephony collection\n", stderr);
        return 1;
    }
    std::puts("open");
    std::fflush(stdout);
    ReadKeys(hDevice, pData, caps.InputReportByteLength);
    ::HidD_FreePreparsedData(pData);
    ::CloseHandle(hDevice);
    std::puts("closed");
    return 0;
}
