#include "device_link.h"

#include "standins/window_object.h"

#include <string>

using namespace handset_protocol;

namespace {

const wchar_t REPLY_CLASS[] = L"TandivorexHandsetPanelReply";

// A poll every fifth of a second must not freeze the panel while the device
// waits on a slow program; a press may wait as long as the command line does.
const UINT POLL_TIMEOUT_MS = 300;

} // namespace

CDeviceLink::~CDeviceLink()
{
    if (m_hReply != nullptr)
        ::DestroyWindow(m_hReply);
}

BOOL CDeviceLink::StartDeviceIfNone()
{
    if (FindDevice() != nullptr)
        return TRUE;
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    std::wstring exe(path, length);
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"handset-sim.exe";
    std::wstring line = L"\"" + exe + L"\" serve";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // The device outlives the panel, as a handset outlives a look at it.
    if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &si, &pi))
        return FALSE;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return TRUE;
}

CDeviceLink::PollResult CDeviceLink::Poll()
{
    if (m_hReply == nullptr)
        m_hReply = CreateMessageWindow(REPLY_CLASS, WindowProc, ::GetModuleHandleW(nullptr), this);
    HWND hDevice = FindDevice();
    if (hDevice == nullptr || m_hReply == nullptr) {
        m_hDevice = nullptr;
        return POLL_NO_DEVICE;
    }
    LRESULT status = 0;
    if (!Request(hDevice, WM_DEVICE_GET_STATUS, 0, 0, POLL_TIMEOUT_MS, &status)
        || (status & DEVICE_STATUS_KNOWN) == 0)
        return ::IsWindow(hDevice) ? POLL_NO_ANSWER : POLL_NO_DEVICE;
    m_lStatus = status;
    // Only a device that has answered counts as found, so that its first answer reports it new.
    BOOL bNew = hDevice != m_hDevice;
    if (bNew) {
        m_hDevice = hDevice;
        m_dwLastSerial = 0;
        m_new.clear();
    }
    // The records arrive in WindowProc, while this waits or, late, at any time after.
    LRESULT logged = 0;
    Request(hDevice, WM_DEVICE_GET_COMMAND_LOG, static_cast<WPARAM>(WindowToLParam(m_hReply)),
            ToLParam(static_cast<int>(m_dwLastSerial)), POLL_TIMEOUT_MS, &logged);
    return bNew ? POLL_NEW_DEVICE : POLL_ANSWERED;
}

std::vector<CommandRecord> CDeviceLink::TakeNewCommands()
{
    std::vector<CommandRecord> taken;
    taken.swap(m_new);
    return taken;
}

const char* CDeviceLink::SetPlugged(BOOL bPlugged)
{
    return Command(WM_DEVICE_SET_PLUGGED, bPlugged ? 1 : 0, 0);
}

const char* CDeviceLink::SendEvent(const HandsetEvent& event)
{
    return Command(WM_DEVICE_SEND_EVENT, ToWParam(event.type), ToLParam(event.value));
}

const char* CDeviceLink::Command(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The device found here is not taken for the poll's: only a poll says a device is new.
    HWND hDevice = FindDevice();
    if (hDevice == nullptr)
        return "no device";
    LRESULT result = 0;
    if (!Request(hDevice, msg, wParam, lParam, CLIENT_TIMEOUT_MS, &result))
        return "the device did not answer";
    return result == RESULT_OK ? nullptr : ResultText(result);
}

BOOL CDeviceLink::Request(HWND hDevice, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, LRESULT* pResult)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(hDevice, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs,
                               &answer))
        return FALSE;
    *pResult = static_cast<LRESULT>(answer);
    return TRUE;
}

LRESULT CALLBACK CDeviceLink::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pLink = static_cast<CDeviceLink*>(WindowObject(hWnd, uMsg, lParam));
    if (uMsg != WM_COPYDATA || pLink == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);

    auto* pCds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    size_t count = pCds->cbData / sizeof(CommandRecord);
    if (pCds->dwData != COPYDATA_COMMAND_LOG || pCds->cbData % sizeof(CommandRecord) != 0 || count > MAX_LOG_REPLY
        || reinterpret_cast<HWND>(wParam) != pLink->m_hDevice)
        return FALSE;
    const auto* pRecords = static_cast<const CommandRecord*>(pCds->lpData);
    // A late answer to an earlier poll may repeat what a later one brought.
    for (size_t i = 0; i < count; ++i) {
        if (pRecords[i].serial > pLink->m_dwLastSerial) {
            pLink->m_new.push_back(pRecords[i]);
            pLink->m_dwLastSerial = pRecords[i].serial;
        }
    }
    return TRUE;
}
