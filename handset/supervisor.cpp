// The connection supervisor: the host's timer and handset-event handlers, which
// open the handset, notice its loss and find the softphone's window.
#include "app/host_dialog.h"

#include "handset/qvusbtel.h"

namespace {

// Whether the window is still one FindWindowA would find for the softphone:
// class and title compared, as it does, without regard to case. The title is
// the one Windows keeps for the window, read without a message to it, so that
// a hung softphone holds nothing up whichever process owns it.
BOOL IsSoftphoneWindow(HWND hWnd)
{
    static const WCHAR szPhoneTitle[] = L"" SOFTPHONE_TITLE;
    // One character more than either name: a longer one, cut short, differs.
    char szClass[sizeof SOFTPHONE_CLASS + 1] = "";
    WCHAR szTitle[ARRAYSIZE(szPhoneTitle) + 1] = L"";
    if (!::IsWindow(hWnd) || ::GetClassNameA(hWnd, szClass, ARRAYSIZE(szClass)) == 0)
        return FALSE;
    ::InternalGetWindowText(hWnd, szTitle, ARRAYSIZE(szTitle));
    return ::lstrcmpiA(szClass, SOFTPHONE_CLASS) == 0 && ::lstrcmpiW(szTitle, szPhoneTitle) == 0;
}

} // namespace

void CTandivorexDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == TIMER_OPEN_DEVICE)
        m_tray.Refresh();
    if (nIDEvent == TIMER_OPEN_DEVICE && !m_bDeviceOpen) {
        m_bDeviceOpen = QV_DeviceIoControl(QV_CODE_OPEN, HandsetCallback, this, 0, 0, 0);
        if (!m_bDeviceOpen)
            m_tray.ShowStatus(STATUS_NO_DEVICE);
        else
            m_tray.ShowStatus(IsPhoneRecorded() ? STATUS_CONNECTED : STATUS_NO_PHONE);
    } else if (nIDEvent == TIMER_FIND_PHONE && m_bDeviceOpen) {
        HWND hWnd = ::FindWindowA(SOFTPHONE_CLASS, SOFTPHONE_TITLE);
        if (hWnd == nullptr) {
            // The bridge keeps its old target until a window is found again.
            m_hPhoneWnd = nullptr;
            m_bPhoneKnown = 0;
            m_tray.ShowStatus(STATUS_NO_PHONE);
        } else if (!IsPhoneRecorded()) {
            m_hPhoneWnd = hWnd;
            m_bPhoneKnown = 1;
            m_bridge.m_nState = KEY_STATE_NONE;
            m_bridge.m_hTarget = hWnd;
            m_tray.ShowStatus(STATUS_CONNECTED);
        } else if (hWnd != m_hPhoneWnd) {
            // Another window of the same kind is in front of ours: bring it up
            // and dismiss it with Escape, every tick while it stays first. The
            // Escape is typed into whatever window is in front, so only when
            // that is the other window: Windows often refuses a background
            // program the foreground, and the user's own program would get it.
            m_bridge.BringToFront(hWnd, FALSE);
            if (::GetForegroundWindow() == hWnd) {
                ::keybd_event(VK_ESCAPE, 0, 0, 0);
                ::keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
            }
        }
    }
    Default();
}

BOOL CTandivorexDlg::IsPhoneRecorded()
{
    // A recorded window that has gone counts as none, so that a softphone
    // started again, even while the handset was out (when nobody looks),
    // is found afresh rather than taken for a second window. Handles are
    // reused: one that is now another kind of window has gone as well.
    if (m_hPhoneWnd != nullptr && !IsSoftphoneWindow(m_hPhoneWnd)) {
        m_hPhoneWnd = nullptr;
        m_bPhoneKnown = 0;
    }
    return m_hPhoneWnd != nullptr;
}

LRESULT CTandivorexDlg::OnHandsetEvent(WPARAM wParam, LPARAM lParam)
{
    int type = static_cast<int>(wParam);
    int value = static_cast<int>(lParam);
    if (type == QV_EVENT_DEVICE_LOST) {
        QV_DeviceIoControl(QV_CODE_CLOSE, nullptr, nullptr, 0, 0, 0);
        m_bDeviceOpen = 0;
        m_tray.ShowStatus(STATUS_NO_DEVICE);
    }
    m_bridge.HandleEvent(static_cast<UINT>(type), value);
    return 0;
}
