#include "phone_finder.h"

#include <setupapi.h>

// The HID interface class's GUID is defined here, once for the library.
#include <initguid.h>

#include <hidclass.h>

#include "hid/usage_table.h"

namespace {

const int RANK_BEST = 2;

// The top-level collections of the Telephony page, best first. A phone, a
// handset or a telephony key pad is what a user dials on, so it comes before
// a headset, which has at most a hook switch and a mute button; a headset
// comes before anything else on the page (an answering machine's or
// programmable buttons' collection). A device that has several is used
// through its best one.
int Rank(const HIDP_CAPS& caps)
{
    if (caps.UsagePage != HID_PAGE_TELEPHONY)
        return -1;
    switch (caps.Usage) {
    case 0x01: // Phone
    case 0x04: // Handset
    case 0x06: // Telephony Key Pad
        return RANK_BEST;
    case 0x05: // Headset
        return 1;
    default:
        return 0;
    }
}

// The collection's rank, read through a handle that asks for no access: it
// neither disturbs a device another program has open nor is refused by one
// the system holds (keyboards, mice).
int RankOf(const wchar_t* pszPath)
{
    HANDLE hDevice = ::CreateFileW(pszPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE)
        return -1;
    int rank = -1;
    PHIDP_PREPARSED_DATA pData = nullptr;
    if (::HidD_GetPreparsedData(hDevice, &pData)) {
        HIDP_CAPS caps;
        if (::HidP_GetCaps(pData, &caps) == HIDP_STATUS_SUCCESS)
            rank = Rank(caps);
        ::HidD_FreePreparsedData(pData);
    }
    ::CloseHandle(hDevice);
    return rank;
}

// The interface's device path, on the heap; null if it cannot be read.
SP_DEVICE_INTERFACE_DETAIL_DATA_W* DetailOf(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pInterface)
{
    DWORD cb = 0;
    ::SetupDiGetDeviceInterfaceDetailW(hSet, pInterface, nullptr, 0, &cb, nullptr);
    if (cb < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return nullptr;
    auto* pDetail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(::HeapAlloc(::GetProcessHeap(), 0, cb));
    if (pDetail == nullptr)
        return nullptr;
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(hSet, pInterface, pDetail, cb, nullptr, nullptr)) {
        ::HeapFree(::GetProcessHeap(), 0, pDetail);
        return nullptr;
    }
    return pDetail;
}

} // namespace

CHidPhone* FindTelephonyPhone()
{
    HDEVINFO hSet = ::SetupDiGetClassDevsW(&GUID_DEVINTERFACE_HID, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hSet == INVALID_HANDLE_VALUE)
        return nullptr;
    CHidPhone* pBest = nullptr;
    int bestRank = -1;
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(hSet, nullptr, &GUID_DEVINTERFACE_HID, i, &iface); ++i) {
        SP_DEVICE_INTERFACE_DETAIL_DATA_W* pDetail = DetailOf(hSet, &iface);
        if (pDetail == nullptr)
            continue;
        // The first present of the best rank: a later one of the same rank does not replace it.
        int rank = RankOf(pDetail->DevicePath);
        if (rank > bestRank) {
            if (CHidPhone* pPhone = CHidPhone::Open(pDetail->DevicePath)) {
                delete pBest;
                pBest = pPhone;
                bestRank = rank;
            }
        }
        ::HeapFree(::GetProcessHeap(), 0, pDetail);
        if (bestRank == RANK_BEST)
            break;
    }
    ::SetupDiDestroyDeviceInfoList(hSet);
    return pBest;
}
