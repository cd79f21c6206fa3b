// Plugging and unplugging the virtual phone: a root-enumerated device made
// through SetupAPI, given our driver through its .inf, and removed again, as
// Device Manager would. The model travels in the device's own registry key.
#include "standins/hid_phone/virtual_phone.h"

#include "standins/hid_phone/descriptor_order.h"
#include "standins/hid_phone/virtual_phone_control.h"

#include <setupapi.h>
#include <newdev.h>

#include <string>

#include "standins/hid_phone/virtual_phone_ioctl.h"

namespace {

// The System setup class, as in the .inf.
const GUID SYSTEM_CLASS_GUID = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const wchar_t DRIVER_FILE[] = L"tdvhid.sys";
const USHORT TELEPHONY_PAGE = 0x0B;
const wchar_t INF_FILE[] = L"tdvhid.inf";
// The class driver takes about two seconds to bring a device up or down.
const DWORD PLUG_TIMEOUT_MS = 15000;

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring WindowsFolder()
{
    wchar_t path[MAX_PATH];
    UINT length = ::GetWindowsDirectoryW(path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length) + L"\\";
}

// The driver runs in the 64-bit driver host whichever build installs it: a
// 32-bit installer must reach the real system32, which "Sysnative" names.
std::wstring DriversFolder()
{
    BOOL bWow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &bWow64);
    std::wstring windows = WindowsFolder();
    if (windows.empty())
        return windows;
    return windows + (bWow64 ? L"Sysnative\\drivers\\" : L"system32\\drivers\\");
}

std::wstring InstalledInf()
{
    std::wstring windows = WindowsFolder();
    return windows.empty() ? windows : windows + L"inf\\" + INF_FILE;
}

BOOL SameContents(const std::wstring& a, const std::wstring& b)
{
    HANDLE hFiles[2];
    hFiles[0] = ::CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    hFiles[1] = ::CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    BOOL same = hFiles[0] != INVALID_HANDLE_VALUE && hFiles[1] != INVALID_HANDLE_VALUE;
    while (same) {
        BYTE chunks[2][4096];
        DWORD got[2] = {};
        same = ::ReadFile(hFiles[0], chunks[0], sizeof(chunks[0]), &got[0], nullptr) &&
               ::ReadFile(hFiles[1], chunks[1], sizeof(chunks[1]), &got[1], nullptr) && got[0] == got[1] &&
               memcmp(chunks[0], chunks[1], got[0]) == 0;
        if (got[0] == 0)
            break;
    }
    for (HANDLE hFile : hFiles)
        if (hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(hFile);
    return same;
}

// A loaded driver's file cannot be replaced; the same file need not be.
BOOL CopyIfChanged(const std::wstring& from, const std::wstring& to)
{
    return SameContents(from, to) || ::CopyFileW(from.c_str(), to.c_str(), FALSE);
}

BOOL HasOurHardwareId(HDEVINFO hSet, SP_DEVINFO_DATA* pDevice)
{
    wchar_t ids[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(hSet, pDevice, SPDRP_HARDWAREID, nullptr,
                                             reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2 * sizeof(wchar_t),
                                             nullptr))
        return FALSE;
    for (const wchar_t* psz = ids; *psz != 0; psz += ::lstrlenW(psz) + 1)
        if (::lstrcmpiW(psz, VIRTUAL_PHONE_HARDWARE_ID) == 0)
            return TRUE;
    return FALSE;
}

BOOL WaitForPresence(BOOL bPresent)
{
    DWORD start = ::GetTickCount();
    while (VirtualPhoneIsPresent() != bPresent) {
        if (::GetTickCount() - start > PLUG_TIMEOUT_MS)
            return FALSE;
        ::Sleep(100);
    }
    return TRUE;
}

BOOL SetDword(HKEY hKey, const wchar_t* pszName, DWORD value)
{
    return ::RegSetValueExW(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

BOOL WriteModel(HKEY hKey, const VirtualPhoneModel& model)
{
    wchar_t name[64];
    int cch = ::MultiByteToWideChar(CP_UTF8, 0, model.pszName, -1, name, ARRAYSIZE(name));
    BYTE descriptor[VIRTUAL_PHONE_MAX_DESCRIPTOR];
    DWORD cbDescriptor = PutCollectionFirst(model.pDescriptor, model.cbDescriptor, TELEPHONY_PAGE, descriptor);
    if (cch == 0 || cbDescriptor == 0)
        return FALSE;
    return ::RegSetValueExW(hKey, VIRTUAL_PHONE_VALUE_DESCRIPTOR, 0, REG_BINARY, descriptor, cbDescriptor) ==
               ERROR_SUCCESS &&
           SetDword(hKey, VIRTUAL_PHONE_VALUE_VENDOR, model.wVendorId) &&
           SetDword(hKey, VIRTUAL_PHONE_VALUE_PRODUCT, model.wProductId) &&
           SetDword(hKey, VIRTUAL_PHONE_VALUE_VERSION, model.wVersion) &&
           ::RegSetValueExW(hKey, VIRTUAL_PHONE_VALUE_NAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                            cch * sizeof(wchar_t)) == ERROR_SUCCESS;
}

// Registers the device with the model in its key. The driver is given to it
// afterwards, so that it finds the model at its first start.
BOOL RegisterDevice(const VirtualPhoneModel& model)
{
    HDEVINFO hSet = ::SetupDiCreateDeviceInfoList(&SYSTEM_CLASS_GUID, nullptr);
    if (hSet == INVALID_HANDLE_VALUE)
        return FALSE;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    static const wchar_t s_szHardwareIds[] = VIRTUAL_PHONE_HARDWARE_ID L"\0";
    BOOL ok = ::SetupDiCreateDeviceInfoW(hSet, L"TDVHID", &SYSTEM_CLASS_GUID, nullptr, nullptr,
                                         DICD_GENERATE_ID, &device) &&
              ::SetupDiSetDeviceRegistryPropertyW(hSet, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(s_szHardwareIds),
                                                  sizeof(s_szHardwareIds)) &&
              ::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, hSet, &device);
    if (ok) {
        HKEY hKey = ::SetupDiCreateDevRegKeyW(hSet, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        ok = hKey != INVALID_HANDLE_VALUE && WriteModel(hKey, model);
        if (hKey != INVALID_HANDLE_VALUE)
            ::RegCloseKey(hKey);
        if (!ok)
            ::SetupDiCallClassInstaller(DIF_REMOVE, hSet, &device);
    }
    ::SetupDiDestroyDeviceInfoList(hSet);
    return ok;
}

} // namespace

BOOL VirtualPhoneInstallDriver()
{
    std::wstring from = ModuleFolder(), drivers = DriversFolder(), inf = InstalledInf();
    if (from.empty() || drivers.empty() || inf.empty())
        return FALSE;
    return CopyIfChanged(from + DRIVER_FILE, drivers + DRIVER_FILE) && CopyIfChanged(from + INF_FILE, inf);
}

BOOL VirtualPhonePlug(const VirtualPhoneModel* pModel)
{
    if (pModel == nullptr || pModel->pDescriptor == nullptr || pModel->cbDescriptor == 0 ||
        pModel->cbDescriptor > VIRTUAL_PHONE_MAX_DESCRIPTOR)
        return FALSE;
    if (!VirtualPhoneInstallDriver() || !VirtualPhoneUnplug() || !RegisterDevice(*pModel))
        return FALSE;
    BOOL bReboot = FALSE;
    if (!::UpdateDriverForPlugAndPlayDevicesW(nullptr, VIRTUAL_PHONE_HARDWARE_ID, InstalledInf().c_str(),
                                              INSTALLFLAG_FORCE, &bReboot) ||
        !WaitForPresence(TRUE)) {
        VirtualPhoneUnplug();
        return FALSE;
    }
    return TRUE;
}

BOOL VirtualPhoneUnplug()
{
    // Every device of ours, present or not: a plug that failed half-way may
    // have left one registered without its driver.
    HDEVINFO hSet = ::SetupDiGetClassDevsW(&SYSTEM_CLASS_GUID, nullptr, nullptr, 0);
    if (hSet == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = TRUE;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(hSet, i, &device); ++i)
        if (HasOurHardwareId(hSet, &device) && !::SetupDiCallClassInstaller(DIF_REMOVE, hSet, &device))
            ok = FALSE;
    ::SetupDiDestroyDeviceInfoList(hSet);
    return ok && WaitForPresence(FALSE);
}
