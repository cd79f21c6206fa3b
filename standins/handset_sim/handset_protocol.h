// How the simulated handset (handset-sim serve), its command-line clients, its
// panel and the stand-in QVUSBTEL.dll talk: window messages to a message-only window of
// the device process, and from the device to a message-only window of the DLL.
#pragma once

#include <windows.h>

namespace handset_protocol {

// The device's window; only one may exist per session, guarded by the mutex.
const wchar_t DEVICE_CLASS[] = L"TandivorexHandsetSimDevice";
const wchar_t DEVICE_MUTEX[] = L"Local\\TandivorexHandsetSimDevice";

// Library -> device. WPARAM: the code given to QV_DeviceIoControl, LPARAM: the
// library's event window. Returns the value QV_DeviceIoControl should return.
const UINT WM_DEVICE_IO_CONTROL = WM_APP + 1;

// Device -> library. WPARAM: event type, LPARAM: event value, both as 32 bits.
// Returns once the callback has returned.
const UINT WM_DEVICE_EVENT = WM_APP + 2;

// Client -> device.
const UINT WM_DEVICE_SET_PLUGGED = WM_APP + 10;  // WPARAM: 1 plug, 0 unplug. Returns a Result.
const UINT WM_DEVICE_SEND_EVENT = WM_APP + 11;   // WPARAM: type, LPARAM: value. Returns a Result.
const UINT WM_DEVICE_GET_STATUS = WM_APP + 12;   // Returns DEVICE_STATUS_KNOWN plus the flags below.
const UINT WM_DEVICE_GET_COMMANDS = WM_APP + 13; // WPARAM: reply window, LPARAM: 1 to clear. Returns a Result.
const UINT WM_DEVICE_QUIT = WM_APP + 14;         // Returns RESULT_OK.
// WPARAM: reply window, LPARAM: the last serial seen. Returns a Result.
const UINT WM_DEVICE_GET_COMMAND_LOG = WM_APP + 15;

// WM_DEVICE_GET_COMMANDS answers with WM_COPYDATA to the reply window: an array of DWORD codes.
const ULONG_PTR COPYDATA_COMMAND_LIST = 0x51560001;

// WM_DEVICE_GET_COMMAND_LOG answers with WM_COPYDATA: the CommandRecords with a later serial,
// oldest first, but no more than the newest MAX_LOG_REPLY of them.
const ULONG_PTR COPYDATA_COMMAND_LOG = 0x51560002;
const DWORD MAX_LOG_REPLY = 100;

// The same size in 32- and 64-bit processes. Serials count from 1 for each run
// of the device and go on across a clear, so a poller never sees one twice.
struct CommandRecord {
    DWORD serial;
    DWORD code;
    FILETIME time; // when the device received it, UTC
};

enum Result {
    RESULT_OK = 1,
    RESULT_UNPLUGGED,
    RESULT_NOT_OPEN,
    RESULT_LIBRARY_GONE,
    RESULT_LIBRARY_TIMEOUT,
    RESULT_REPLY_FAILED,
};

// What a client tells a person about a Result other than RESULT_OK.
inline const char* ResultText(LRESULT result)
{
    switch (result) {
    case RESULT_UNPLUGGED: return "the handset is unplugged";
    case RESULT_NOT_OPEN: return "the library has not opened the handset";
    case RESULT_LIBRARY_GONE: return "the program that opened the handset is gone";
    case RESULT_LIBRARY_TIMEOUT: return "the program's callback did not return in time";
    case RESULT_REPLY_FAILED: return "the device could not send its answer";
    default: return "the device gave an unknown answer";
    }
}

const LRESULT DEVICE_STATUS_KNOWN = 0x100;
const LRESULT DEVICE_STATUS_PLUGGED = 0x1;
const LRESULT DEVICE_STATUS_OPEN = 0x2;

// The library never waits longer than this for the device; the device gives the
// program's callback longer, and a client waits for both.
const UINT LIBRARY_TIMEOUT_MS = 1000;
const UINT DELIVERY_TIMEOUT_MS = 2000;
const UINT CLIENT_TIMEOUT_MS = 5000;

// Window parameters carry 32-bit values whatever the width of either process.
inline WPARAM ToWParam(int v) { return static_cast<WPARAM>(static_cast<UINT>(v)); }
inline LPARAM ToLParam(int v) { return static_cast<LPARAM>(static_cast<UINT>(v)); }
inline int FromParam(ULONG_PTR v) { return static_cast<int>(static_cast<UINT>(v)); }
// Handles are 32-bit values too, sign-extended on 64-bit as Windows does.
inline LPARAM WindowToLParam(HWND hWnd) { return ToLParam(static_cast<int>(reinterpret_cast<LONG_PTR>(hWnd))); }
inline HWND WindowFromParam(ULONG_PTR v) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(FromParam(v))); }

// A message-only window of its own class, with pParam for WM_NCCREATE.
inline HWND CreateMessageWindow(const wchar_t* pszClass, WNDPROC pfnWndProc, HINSTANCE hInstance, void* pParam)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = pfnWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = pszClass;
    ::RegisterClassExW(&wc); // already registered on a second call: that is fine
    return ::CreateWindowExW(0, pszClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, pParam);
}

inline HWND FindDevice()
{
    return ::FindWindowExW(HWND_MESSAGE, nullptr, DEVICE_CLASS, nullptr);
}

} // namespace handset_protocol
