#include "key_bridge.h"

#include "handset/qvusbtel.h"

namespace {

// Handset event types.
const UINT EVENT_KEYSET = 0;
const UINT EVENT_EXTENDED_KEY = 4;
const UINT EVENT_KEY = 11;
const UINT EVENT_ACTIVATE = 12;
const UINT EVENT_ESCAPE = 13;
const UINT EVENT_FORWARD_ON = 14;
const UINT EVENT_FORWARD_OFF = 15;

// Values of event 0 that switch on the extended key set.
const int KEYSET_FIRST = 256;
const int KEYSET_LAST = 398;

// Both key messages carry this one LPARAM, as the softphone has always seen it.
const LPARAM KEY_LPARAM = 0x0001C001;
const DWORD KEY_HOLD_MS = 100;
// How long the softphone may take to answer before it is not activated.
const UINT ANSWER_MS = 250;

// Handset key code (low byte of an event 11) to virtual key; 0 presses nothing.
UINT VirtualKeyFromHandsetKey(BYTE code)
{
    if (code >= 0x80 && code <= 0x89)
        return code - 0x50; // '0' to '9'
    switch (code) {
    case 0x8B: return VK_MULTIPLY;
    case 0x8C: return VK_DIVIDE;
    case 0x8D: return VK_DOWN;
    case 0x8E: return VK_UP;
    case 0x91: return VK_RETURN;
    default: return 0;
    }
}

UINT VirtualKeyFromExtendedKey(int value)
{
    switch (value) {
    case 4: return VK_RIGHT;
    case 20: return VK_F5;
    case 35: return VK_LEFT;
    default: return 0;
    }
}

// Phone states and the handset command each one sends. 259 is remembered as 258.
struct PhoneStateCommand {
    int state;
    DWORD command;
    int remembered;
};

const PhoneStateCommand s_phoneStates[] = {
    {257, 0x1001, 257}, {258, 0x1004, 258}, {259, 0x1004, 258}, {260, 0x1005, 260},
    {261, 0x1006, 261}, {262, 0x1003, 262}, {263, 0x1001, 263}, {264, 0x1001, 264},
};

} // namespace

CKeyBridge::CKeyBridge()
    : m_hTarget(nullptr)
    , m_nState(KEY_STATE_NONE)
    , m_bForward(1)
    , m_nKeySet(KEYSET_BASIC)
{
}

void CKeyBridge::HandleEvent(UINT type, int value)
{
    switch (type) {
    case EVENT_KEYSET:
        if (value >= KEYSET_FIRST && value <= KEYSET_LAST) {
            m_nKeySet = KEYSET_EXTENDED;
            m_bForward = 1;
        }
        break;
    case EVENT_EXTENDED_KEY:
        if (m_nKeySet == KEYSET_EXTENDED) {
            UINT vk = VirtualKeyFromExtendedKey(value);
            if (vk != 0)
                PressKey(vk);
        }
        break;
    case EVENT_KEY:
        if (m_bForward) {
            // The window comes forward even for a key that maps to nothing.
            BringToFront(m_hTarget);
            UINT vk = VirtualKeyFromHandsetKey(static_cast<BYTE>(value & 0xFF));
            if (vk != 0)
                PressKey(vk);
        }
        break;
    case EVENT_ACTIVATE:
        BringToFront(m_hTarget);
        break;
    case EVENT_ESCAPE:
        if (m_bForward) {
            PressKey(VK_ESCAPE);
        } else if (m_hTarget != nullptr) {
            // Asynchronous, as in BringToFront: a hung softphone must not stop us.
            ::ShowWindowAsync(m_hTarget, SW_HIDE);
        }
        break;
    case EVENT_FORWARD_ON:
        m_bForward = 1;
        break;
    case EVENT_FORWARD_OFF:
        m_bForward = 0;
        break;
    default:
        break;
    }
}

void CKeyBridge::PressKey(UINT vk)
{
    // A null window would post to our own thread's queue, where the keys would
    // end up in our own dialog; with no target they go nowhere.
    if (m_hTarget == nullptr)
        return;
    ::PostMessageA(m_hTarget, WM_KEYDOWN, vk, KEY_LPARAM);
    ::Sleep(KEY_HOLD_MS);
    ::PostMessageA(m_hTarget, WM_KEYUP, vk, KEY_LPARAM);
}

void CKeyBridge::BringToFront(HWND hWnd)
{
    if (hWnd == nullptr)
        return;
    // Already the visible, active window in front: activating it again would
    // change nothing on screen and only delay the key.
    if (hWnd == ::GetForegroundWindow() && ::IsWindowVisible(hWnd) && !::IsIconic(hWnd))
        return;
    // A window whose thread has stopped reading its queue cannot be activated,
    // and trying would stop ours too: with the two threads' input attached,
    // activating it waits for it. Windows calls a window hung only after five
    // seconds, so one that does not answer at once is left alone as well.
    // Its keys are posted all the same and wait in its queue.
    DWORD_PTR dwIgnored = 0;
    if (::IsHungAppWindow(hWnd) ||
        !::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, ANSWER_MS, &dwIgnored))
        return;
    // ShowWindow on another thread's window waits until that thread has done
    // it, and UpdateWindow has it paint while we wait: the window's own thread
    // shows and paints it when it next reads its queue.
    ::ShowWindowAsync(hWnd, ::IsIconic(hWnd) ? SW_RESTORE : SW_SHOW);

    // A background program may not take the foreground for another window
    // unless the two threads share input state for the moment. Windows may
    // still refuse; nothing here depends on it having worked.
    DWORD dwTargetThread = ::GetWindowThreadProcessId(hWnd, nullptr);
    DWORD dwOwnThread = ::GetCurrentThreadId();
    ::AttachThreadInput(dwOwnThread, dwTargetThread, TRUE);
    ::SetForegroundWindow(hWnd);
    ::SetActiveWindow(hWnd);
    ::AttachThreadInput(dwOwnThread, dwTargetThread, FALSE);
}

int CKeyBridge::ApplyPhoneState(int state, int)
{
    if (state == m_nState)
        return state;
    for (const PhoneStateCommand& entry : s_phoneStates) {
        if (entry.state == state) {
            // Sent whether or not the device is open: the library answers.
            int nResult = QV_DeviceIoControl(entry.command, nullptr, nullptr, 0, 0, 0);
            m_nState = entry.remembered;
            return nResult;
        }
    }
    return static_cast<int>(static_cast<UINT>(state) - 257u);
}
