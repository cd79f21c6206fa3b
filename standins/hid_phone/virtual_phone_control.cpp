// Talking to the plugged virtual phone: its collections are found through
// SetupAPI like any HID device's, and the control requests go on one of
// their handles, where the driver takes them ahead of the HID class driver.
#include "standins/hid_phone/virtual_phone.h"

#include "standins/hid_phone/virtual_phone_control.h"

#include <winioctl.h>
#include <setupapi.h>
// mingw's hid.dll headers leave out the C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include "standins/hid_phone/virtual_phone_ioctl.h"

namespace {

// Only our driver answers the identify request with its magic: a real device
// with the same vendor and product ids is left alone.
BOOL IsVirtualPhone(HANDLE hDevice)
{
    ULONG magic = 0;
    DWORD cb = 0;
    return ::DeviceIoControl(hDevice, IOCTL_VIRTUAL_PHONE_IDENTIFY, nullptr, 0, &magic, sizeof(magic), &cb,
                             nullptr) &&
           cb == sizeof(magic) && magic == VIRTUAL_PHONE_MAGIC;
}

BOOL UsagePageOf(HANDLE hDevice, USHORT* pPage)
{
    PHIDP_PREPARSED_DATA pData = nullptr;
    if (!::HidD_GetPreparsedData(hDevice, &pData))
        return FALSE;
    HIDP_CAPS caps = {};
    BOOL ok = ::HidP_GetCaps(pData, &caps) == HIDP_STATUS_SUCCESS;
    ::HidD_FreePreparsedData(pData);
    *pPage = caps.UsagePage;
    return ok;
}

// Opens, without access rights (enough for control requests and for the
// collection's attributes), the first collection of our device on the page,
// or on any page when usagePage is 0.
HANDLE OpenCollection(USHORT usagePage, wchar_t* pszPath, DWORD cchPath)
{
    GUID hidGuid;
    ::HidD_GetHidGuid(&hidGuid);
    HDEVINFO hSet = ::SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hSet == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    HANDLE hFound = INVALID_HANDLE_VALUE;
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0; hFound == INVALID_HANDLE_VALUE &&
                      ::SetupDiEnumDeviceInterfaces(hSet, nullptr, &hidGuid, i, &iface);
         ++i) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
            BYTE raw[sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + MAX_PATH * sizeof(wchar_t)];
        } buffer;
        buffer.detail.cbSize = sizeof(buffer.detail);
        if (!::SetupDiGetDeviceInterfaceDetailW(hSet, &iface, &buffer.detail, sizeof(buffer), nullptr, nullptr))
            continue;
        HANDLE hDevice = ::CreateFileW(buffer.detail.DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        if (hDevice == INVALID_HANDLE_VALUE)
            continue;
        USHORT page = 0;
        if (IsVirtualPhone(hDevice) && (usagePage == 0 || (UsagePageOf(hDevice, &page) && page == usagePage)) &&
            (pszPath == nullptr || ::lstrlenW(buffer.detail.DevicePath) < static_cast<int>(cchPath))) {
            if (pszPath != nullptr)
                ::lstrcpyW(pszPath, buffer.detail.DevicePath);
            hFound = hDevice;
        } else {
            ::CloseHandle(hDevice);
        }
    }
    ::SetupDiDestroyDeviceInfoList(hSet);
    return hFound;
}

} // namespace

BOOL VirtualPhoneIsPresent()
{
    HANDLE hDevice = OpenCollection(0, nullptr, 0);
    if (hDevice == INVALID_HANDLE_VALUE)
        return FALSE;
    ::CloseHandle(hDevice);
    return TRUE;
}

BOOL VirtualPhoneControl(DWORD code, const void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbOut)
{
    HANDLE hDevice = OpenCollection(0, nullptr, 0);
    if (hDevice == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD cb = 0;
    BOOL ok = ::DeviceIoControl(hDevice, code, const_cast<void*>(pIn), cbIn, pOut, cbOut, &cb, nullptr);
    ::CloseHandle(hDevice);
    if (pcbOut != nullptr)
        *pcbOut = cb;
    return ok != FALSE;
}

BOOL VirtualPhoneFindCollection(USHORT usagePage, wchar_t* pszPath, DWORD cchPath)
{
    if (pszPath == nullptr || cchPath == 0)
        return FALSE;
    HANDLE hDevice = OpenCollection(usagePage, pszPath, cchPath);
    if (hDevice == INVALID_HANDLE_VALUE)
        return FALSE;
    ::CloseHandle(hDevice);
    return TRUE;
}

HANDLE VirtualPhoneOpenControl()
{
    return OpenCollection(0, nullptr, 0);
}

BOOL VirtualPhoneSendInputOn(HANDLE hControl, const BYTE* pReport, DWORD cb)
{
    if (hControl == INVALID_HANDLE_VALUE || pReport == nullptr || cb == 0 || cb > VIRTUAL_PHONE_MAX_REPORT)
        return FALSE;
    DWORD cbOut = 0;
    return ::DeviceIoControl(hControl, IOCTL_VIRTUAL_PHONE_SEND_INPUT, const_cast<BYTE*>(pReport), cb, nullptr, 0,
                             &cbOut, nullptr) != FALSE;
}

BOOL VirtualPhoneSendInput(const BYTE* pReport, DWORD cb)
{
    HANDLE hControl = VirtualPhoneOpenControl();
    BOOL ok = VirtualPhoneSendInputOn(hControl, pReport, cb);
    if (hControl != INVALID_HANDLE_VALUE)
        ::CloseHandle(hControl);
    return ok;
}

int VirtualPhoneTakeOutputs(BYTE aReports[][VIRTUAL_PHONE_MAX_REPORT], DWORD aSizes[], int nMax)
{
    const int BATCH_REPORTS = 16;
    VIRTUAL_PHONE_OUTPUT records[BATCH_REPORTS];
    int nTaken = 0;
    // In batches, and never more than asked: what is taken is gone from the device.
    while (nTaken < nMax) {
        int nAsk = nMax - nTaken < BATCH_REPORTS ? nMax - nTaken : BATCH_REPORTS;
        DWORD cb = 0;
        if (!VirtualPhoneControl(IOCTL_VIRTUAL_PHONE_TAKE_OUTPUTS, nullptr, 0, records,
                                 nAsk * sizeof(VIRTUAL_PHONE_OUTPUT), &cb))
            return nTaken > 0 ? nTaken : -1;
        int nGot = static_cast<int>(cb / sizeof(VIRTUAL_PHONE_OUTPUT));
        for (int i = 0; i < nGot; ++i) {
            DWORD size = records[i].cbReport <= VIRTUAL_PHONE_MAX_REPORT ? records[i].cbReport : VIRTUAL_PHONE_MAX_REPORT;
            ::CopyMemory(aReports[nTaken + i], records[i].aReport, size);
            aSizes[nTaken + i] = size;
        }
        nTaken += nGot;
        if (nGot < nAsk)
            break;
    }
    return nTaken;
}

std::vector<std::vector<BYTE>> VirtualPhoneTakeOutputList()
{
    const int BATCH_REPORTS = 16;
    BYTE aReports[BATCH_REPORTS][VIRTUAL_PHONE_MAX_REPORT];
    DWORD aSizes[BATCH_REPORTS];
    std::vector<std::vector<BYTE>> taken;
    int nGot;
    do {
        nGot = VirtualPhoneTakeOutputs(aReports, aSizes, BATCH_REPORTS);
        for (int i = 0; i < nGot; ++i)
            taken.emplace_back(aReports[i], aReports[i] + aSizes[i]);
    } while (nGot == BATCH_REPORTS);
    return taken;
}

BOOL VirtualPhoneSetAnswering(BOOL bAnswering)
{
    ULONG value = bAnswering ? 1 : 0;
    return VirtualPhoneControl(IOCTL_VIRTUAL_PHONE_SET_ANSWERING, &value, sizeof(value), nullptr, 0, nullptr);
}
