#include "device_client.h"

#include "handset/qvusbtel.h"
#include "standins/handset_sim/device_codes.h"
#include "standins/handset_sim/handset_protocol.h"
#include "standins/window_object.h"

#include <stdio.h>

using namespace handset_protocol;

namespace {

const wchar_t REPLY_CLASS[] = L"TandivorexHandsetSimReply";

// Scripts read the word after the code as open, close or command; the panel
// shows what each command means.
const char* CodeKind(DWORD code)
{
    return code == QV_CODE_OPEN || code == QV_CODE_CLOSE ? DescribeCode(code).name : "command";
}

} // namespace

BOOL CDeviceClient::Connect()
{
    m_hDevice = FindDevice();
    if (m_hDevice == nullptr)
        fprintf(stderr, "handset-sim: no device is running (start one with: handset-sim serve)\n");
    return m_hDevice != nullptr;
}

BOOL CDeviceClient::SetPlugged(BOOL bPlugged)
{
    LRESULT result = 0;
    return Request(WM_DEVICE_SET_PLUGGED, bPlugged ? 1 : 0, 0, &result)
        && Check(result, bPlugged ? "plug" : "unplug (the device is unplugged now)");
}

BOOL CDeviceClient::SendEvent(int type, int value, const char* what)
{
    LRESULT result = 0;
    return Request(WM_DEVICE_SEND_EVENT, ToWParam(type), ToLParam(value), &result) && Check(result, what);
}

BOOL CDeviceClient::PrintStatus()
{
    LRESULT result = 0;
    if (!Request(WM_DEVICE_GET_STATUS, 0, 0, &result))
        return FALSE;
    if ((result & DEVICE_STATUS_KNOWN) == 0) {
        fprintf(stderr, "handset-sim: the device gave no status\n");
        return FALSE;
    }
    printf("%s %s\n", (result & DEVICE_STATUS_PLUGGED) ? "plugged" : "unplugged",
           (result & DEVICE_STATUS_OPEN) ? "open" : "closed");
    return TRUE;
}

BOOL CDeviceClient::PrintCommands(BOOL bClear)
{
    HWND hReply = CreateMessageWindow(REPLY_CLASS, WindowProc, ::GetModuleHandleW(nullptr), this);
    if (hReply == nullptr) {
        fprintf(stderr, "handset-sim: cannot create a window for the reply (error %lu)\n", ::GetLastError());
        return FALSE;
    }

    // The device answers with WM_COPYDATA, handled while this request waits.
    LRESULT result = 0;
    BOOL bOk = Request(WM_DEVICE_GET_COMMANDS, static_cast<WPARAM>(WindowToLParam(hReply)), bClear ? 1 : 0, &result)
        && Check(result, "commands");
    ::DestroyWindow(hReply);
    if (bOk && !m_bReplied) {
        fprintf(stderr, "handset-sim: the device did not send its command list\n");
        bOk = FALSE;
    }
    if (bOk) {
        for (DWORD code : m_reply)
            printf("0x%04lX %s\n", code, CodeKind(code));
    }
    return bOk;
}

BOOL CDeviceClient::Quit()
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(m_hDevice, &processId);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    LRESULT result = 0;
    BOOL bOk = Request(WM_DEVICE_QUIT, 0, 0, &result) && Check(result, "quit");
    // Waiting for the end frees the session for the next serve as soon as quit returns.
    if (bOk && hProcess != nullptr && ::WaitForSingleObject(hProcess, CLIENT_TIMEOUT_MS) != WAIT_OBJECT_0) {
        fprintf(stderr, "handset-sim: the device did not end\n");
        bOk = FALSE;
    }
    if (hProcess != nullptr)
        ::CloseHandle(hProcess);
    return bOk;
}

BOOL CDeviceClient::Request(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(m_hDevice, msg, wParam, lParam, SMTO_NORMAL, CLIENT_TIMEOUT_MS, &answer)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_TIMEOUT || error == 0)
            fprintf(stderr, "handset-sim: the device did not answer within %u ms\n", CLIENT_TIMEOUT_MS);
        else
            fprintf(stderr, "handset-sim: cannot reach the device (error %lu)\n", error);
        return FALSE;
    }
    *pResult = static_cast<LRESULT>(answer);
    return TRUE;
}

BOOL CDeviceClient::Check(LRESULT result, const char* what)
{
    if (result == RESULT_OK)
        return TRUE;
    fprintf(stderr, "handset-sim: %s failed: %s\n", what, ResultText(result));
    return FALSE;
}

LRESULT CALLBACK CDeviceClient::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pClient = static_cast<CDeviceClient*>(WindowObject(hWnd, uMsg, lParam));
    if (uMsg == WM_COPYDATA && pClient != nullptr) {
        auto* pCds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (pCds->dwData != COPYDATA_COMMAND_LIST || pCds->cbData % sizeof(DWORD) != 0)
            return FALSE;
        const DWORD* pCodes = static_cast<const DWORD*>(pCds->lpData);
        pClient->m_reply.assign(pCodes, pCodes + pCds->cbData / sizeof(DWORD));
        pClient->m_bReplied = TRUE;
        return TRUE;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}
