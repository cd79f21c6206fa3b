#include "handset_device.h"

#include "handset/qvusbtel.h"
#include "standins/window_object.h"

#include <stdio.h>

#include <vector>

using namespace handset_protocol;

namespace {

// Enough for any test; a device left running for days must not grow without bound.
const size_t MAX_COMMANDS = 10000;

} // namespace

int CHandsetDevice::Serve(BOOL bPlugged, const char* pszLogPath)
{
    HANDLE hMutex = ::CreateMutexW(nullptr, FALSE, DEVICE_MUTEX);
    if (hMutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        fprintf(stderr, "handset-sim: a device is already running in this session\n");
        if (hMutex != nullptr)
            ::CloseHandle(hMutex);
        return 1;
    }

    CHandsetDevice device(bPlugged);
    if (pszLogPath != nullptr) {
        // Appending, unbuffered and shared, so that a reader sees each line at once.
        device.m_hLog = ::CreateFileA(pszLogPath, FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (device.m_hLog == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "handset-sim: cannot open the log %s (error %lu)\n", pszLogPath, ::GetLastError());
            ::CloseHandle(hMutex);
            return 1;
        }
    }
    HWND hWnd = CreateMessageWindow(DEVICE_CLASS, WindowProc, ::GetModuleHandleW(nullptr), &device);
    device.m_hWnd = hWnd; // for its replies; no message before this needs it
    if (hWnd == nullptr) {
        fprintf(stderr, "handset-sim: cannot create the device window (error %lu)\n", ::GetLastError());
        ::CloseHandle(hMutex);
        return 1;
    }

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);

    ::DestroyWindow(hWnd);
    if (device.m_hLog != INVALID_HANDLE_VALUE)
        ::CloseHandle(device.m_hLog);
    ::CloseHandle(hMutex);
    return 0;
}

LRESULT CALLBACK CHandsetDevice::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pDevice = static_cast<CHandsetDevice*>(WindowObject(hWnd, uMsg, lParam));
    if (pDevice == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);

    switch (uMsg) {
    case WM_DEVICE_IO_CONTROL:
        return pDevice->OnIoControl(static_cast<DWORD>(wParam), WindowFromParam(lParam));
    case WM_DEVICE_SET_PLUGGED:
        return pDevice->OnSetPlugged(wParam != 0);
    case WM_DEVICE_SEND_EVENT:
        return pDevice->OnSendEvent(FromParam(wParam), FromParam(lParam));
    case WM_DEVICE_GET_STATUS:
        return pDevice->OnGetStatus();
    case WM_DEVICE_GET_COMMANDS:
        return pDevice->OnGetCommands(WindowFromParam(wParam), lParam != 0);
    case WM_DEVICE_GET_COMMAND_LOG:
        return pDevice->OnGetCommandLog(WindowFromParam(wParam), static_cast<DWORD>(FromParam(lParam)));
    case WM_DEVICE_QUIT:
        ::PostQuitMessage(0);
        return RESULT_OK;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CHandsetDevice::OnIoControl(DWORD code, HWND hLibrary)
{
    if (m_commands.size() >= MAX_COMMANDS)
        m_commands.pop_front();
    CommandRecord record = {++m_dwLastSerial, code, {}};
    ::GetSystemTimeAsFileTime(&record.time);
    m_commands.push_back(record);

    if (code == QV_CODE_OPEN) {
        // One library at a time, as with a real USB device.
        if (!m_bPlugged || hLibrary == nullptr || !::IsWindow(hLibrary) || (IsOpen() && m_hLibrary != hLibrary))
            return 0;
        m_hLibrary = hLibrary;
        return 1;
    }
    if (code == QV_CODE_CLOSE) {
        if (hLibrary != nullptr && hLibrary == m_hLibrary)
            m_hLibrary = nullptr;
        return 1;
    }
    return m_bPlugged ? 1 : 0;
}

LRESULT CHandsetDevice::OnSetPlugged(BOOL bPlugged)
{
    m_bPlugged = bPlugged;
    if (bPlugged || !IsOpen())
        return RESULT_OK;
    // Closed before telling the library, so that its answering close finds nothing to undo.
    HWND hLibrary = m_hLibrary;
    m_hLibrary = nullptr;
    LRESULT result = Deliver(hLibrary, QV_EVENT_DEVICE_LOST, 0);
    return result == RESULT_LIBRARY_TIMEOUT ? result : static_cast<LRESULT>(RESULT_OK);
}

LRESULT CHandsetDevice::OnSendEvent(int type, int value)
{
    if (!m_bPlugged)
        return RESULT_UNPLUGGED;
    if (!IsOpen())
        return RESULT_NOT_OPEN;
    return Deliver(m_hLibrary, type, value);
}

LRESULT CHandsetDevice::OnGetStatus()
{
    return DEVICE_STATUS_KNOWN | (m_bPlugged ? DEVICE_STATUS_PLUGGED : 0) | (IsOpen() ? DEVICE_STATUS_OPEN : 0);
}

LRESULT CHandsetDevice::OnGetCommands(HWND hReply, BOOL bClear)
{
    std::vector<DWORD> codes;
    for (const CommandRecord& record : m_commands)
        codes.push_back(record.code);
    LRESULT result = Reply(hReply, COPYDATA_COMMAND_LIST, codes.data(), codes.size() * sizeof(DWORD));
    if (result == RESULT_OK && bClear)
        m_commands.clear();
    return result;
}

LRESULT CHandsetDevice::OnGetCommandLog(HWND hReply, DWORD lastSeen)
{
    // Serials rise along the log, so the unseen ones are its tail.
    auto first = m_commands.end();
    while (first != m_commands.begin() && (first - 1)->serial > lastSeen
           && static_cast<DWORD>(m_commands.end() - first) < MAX_LOG_REPLY)
        --first;
    std::vector<CommandRecord> records(first, m_commands.end());
    return Reply(hReply, COPYDATA_COMMAND_LOG, records.data(), records.size() * sizeof(CommandRecord));
}

LRESULT CHandsetDevice::Reply(HWND hReply, ULONG_PTR tag, const void* pData, size_t size)
{
    COPYDATASTRUCT cds = {};
    cds.dwData = tag;
    cds.cbData = static_cast<DWORD>(size);
    cds.lpData = size == 0 ? nullptr : const_cast<void*>(pData);
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(hReply, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hWnd),
                               reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, LIBRARY_TIMEOUT_MS, &answer)
        || answer == 0)
        return RESULT_REPLY_FAILED;
    return RESULT_OK;
}

// Synchronous, so that a client learns the event is with the program once this returns.
// Not SMTO_BLOCK: the program may call the library, and so this device, from its callback.
LRESULT CHandsetDevice::Deliver(HWND hLibrary, int type, int value)
{
    LARGE_INTEGER sentAt;
    ::QueryPerformanceCounter(&sentAt);
    DWORD_PTR answer = 0;
    BOOL delivered = ::SendMessageTimeoutW(hLibrary, WM_DEVICE_EVENT, ToWParam(type), ToLParam(value), SMTO_NORMAL,
                                           DELIVERY_TIMEOUT_MS, &answer);
    // Written once the event is out, so that the log costs the delivery nothing.
    LogEvent(sentAt.QuadPart, type, value);
    if (delivered)
        return RESULT_OK;
    if (::IsWindow(hLibrary))
        return RESULT_LIBRARY_TIMEOUT;
    if (m_hLibrary != hLibrary)
        return RESULT_NOT_OPEN; // the library closed while the event was on its way
    m_hLibrary = nullptr;
    return RESULT_LIBRARY_GONE;
}

// The softphone's log format: the time in milliseconds of the same clock, shared
// by every process of the session, then what happened.
void CHandsetDevice::LogEvent(LONGLONG sentAt, int type, int value)
{
    if (m_hLog == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    char line[96];
    int n = snprintf(line, sizeof(line), "%.3f event type=%d value=0x%X\n",
                     1000.0 * static_cast<double>(sentAt) / static_cast<double>(frequency.QuadPart), type,
                     static_cast<unsigned int>(value));
    DWORD written = 0;
    if (n > 0 && n < static_cast<int>(sizeof(line)))
        ::WriteFile(m_hLog, line, static_cast<DWORD>(n), &written, nullptr);
}

// A library whose process ended without closing leaves only a dead window behind.
BOOL CHandsetDevice::IsOpen()
{
    if (m_hLibrary != nullptr && !::IsWindow(m_hLibrary))
        m_hLibrary = nullptr;
    return m_hLibrary != nullptr;
}
