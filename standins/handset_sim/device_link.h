#pragma once

#include "standins/handset_sim/handset_input.h"
#include "standins/handset_sim/handset_protocol.h"

#include <windows.h>

#include <vector>

// The panel's line to the device: it looks the device up again whenever it has
// gone, and fetches what changed since the last poll. Nothing is printed; what
// went wrong comes back as text for the panel to show.
class CDeviceLink {
public:
    enum PollResult {
        POLL_NO_DEVICE,
        POLL_NO_ANSWER,  // there, but busy past the poll's patience
        POLL_ANSWERED,
        POLL_NEW_DEVICE, // answered, and another run of the device than before
    };

    CDeviceLink() = default;
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Starts `handset-sim serve`, unplugged, from this program's folder, unless
    // a device runs already; FALSE if it could not be started.
    static BOOL StartDeviceIfNone();

    PollResult Poll();
    LRESULT Status() const { return m_lStatus; }
    // The commands received since the last call, oldest first.
    std::vector<handset_protocol::CommandRecord> TakeNewCommands();

    // Each returns null once the device has taken the request, else what went wrong.
    const char* SetPlugged(BOOL bPlugged);
    const char* SendEvent(const HandsetEvent& event);

private:
    BOOL Request(HWND hDevice, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, LRESULT* pResult);
    const char* Command(UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hDevice = nullptr;
    HWND m_hReply = nullptr;
    LRESULT m_lStatus = 0;
    DWORD m_dwLastSerial = 0;
    std::vector<handset_protocol::CommandRecord> m_new;
};
