// The test bed's virtual USB phone: a HID telephony device played by our
// minidriver (driver/tdvhid.sys) inside Wine's own HID stack. One device is
// plugged at a time; every call works from any process of the prefix.
#pragma once

#include <windows.h>

#include <vector>

#include "standins/hid_phone/virtual_phone_ioctl.h"

// A device model: a real telephony device's report descriptor and attributes,
// kept as data with where it came from.
struct VirtualPhoneModel {
    const char* pszName;
    WORD wVendorId, wProductId, wVersion;
    const BYTE* pDescriptor;
    DWORD cbDescriptor;
    const char* pszSource;
};

const VirtualPhoneModel* FindVirtualPhoneModel(const char* pszName);
const VirtualPhoneModel* const* VirtualPhoneModels(int* pnCount);

BOOL VirtualPhoneInstallDriver();
BOOL VirtualPhonePlug(const VirtualPhoneModel* pModel);
BOOL VirtualPhoneUnplug();
BOOL VirtualPhoneSendInput(const BYTE* pReport, DWORD cb);
// A handle on the plugged device for many reports in a row, each sent without
// looking for the device again (which takes longer than the report itself);
// INVALID_HANDLE_VALUE if none is plugged. Closed with CloseHandle.
HANDLE VirtualPhoneOpenControl();
BOOL VirtualPhoneSendInputOn(HANDLE hControl, const BYTE* pReport, DWORD cb);
int VirtualPhoneTakeOutputs(BYTE aReports[][VIRTUAL_PHONE_MAX_REPORT], DWORD aSizes[], int nMax);
// The same as a list, every one received since the last call: none when no device is plugged.
std::vector<std::vector<BYTE>> VirtualPhoneTakeOutputList();
BOOL VirtualPhoneSetAnswering(BOOL bAnswering);

// The device path of the plugged device's collection on the given usage page
// (0x0B for telephony), for a test that opens it itself. FALSE if none.
BOOL VirtualPhoneFindCollection(USHORT usagePage, wchar_t* pszPath, DWORD cchPath);
