#include "key_bridge.h"

#include "handset/qvusbtel.h"

namespace {

const DWORD KEY_HOLD_MS = 100;
// How long the softphone may take to answer before it is not activated.
const UINT ANSWER_MS = 250;
// An unassigned virtual key, typed inside the injected ALT (see BringToFront).
const WORD VK_UNASSIGNED = 0xE8;

// Handset key code (low byte of an event 11) to virtual key; 0 presses nothing.
UINT VirtualKeyFromHandsetKey(BYTE code)
{
    if (code >= QV_KEY_0 && code <= QV_KEY_0 + 9)
        return '0' + (code - QV_KEY_0);
    switch (code) {
    case QV_KEY_STAR: return VK_MULTIPLY;
    case QV_KEY_HASH: return VK_DIVIDE;
    case QV_KEY_DOWN: return VK_DOWN;
    case QV_KEY_UP: return VK_UP;
    case QV_KEY_ENTER: return VK_RETURN;
    default: return 0;
    }
}

UINT VirtualKeyFromExtendedKey(int value)
{
    switch (value) {
    case QV_EXTENDED_RIGHT: return VK_RIGHT;
    case QV_EXTENDED_F5: return VK_F5;
    case QV_EXTENDED_LEFT: return VK_LEFT;
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

// Whether the window's thread reads its queue now. One that has stopped cannot
// be activated, and trying would stop ours too: with two threads' input
// attached, activating a window waits for its thread. Windows calls a window
// hung only after five seconds, so one that does not answer at once is left
// alone as well.
BOOL Answers(HWND hWnd)
{
    DWORD_PTR dwIgnored = 0;
    return !::IsHungAppWindow(hWnd) &&
           ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, ANSWER_MS, &dwIgnored) != 0;
}

// ALT pressed and released, as one unbroken piece of input: the user's own
// keys cannot fall between and become ALT shortcuts. The unassigned key
// inside it keeps the window in front from taking a lone ALT as "open the
// menu".
void InjectAlt()
{
    INPUT inputs[4] = {};
    const WORD vks[4] = {VK_MENU, VK_UNASSIGNED, VK_UNASSIGNED, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = vks[i];
        inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    ::SendInput(4, inputs, sizeof(INPUT));
}

} // namespace

CKeyBridge::CKeyBridge()
    : m_hTarget(nullptr)
    , m_nState(KEY_STATE_NONE)
    , m_bForward(1)
    , m_nKeySet(KEYSET_BASIC)
    , m_pfnSetForegroundWindow(::SetForegroundWindow)
{
}

void CKeyBridge::HandleEvent(UINT type, int value)
{
    // Compared unsigned: -1 and every type above 15 fall to the default.
    switch (type) {
    case QV_EVENT_KEYSET:
        if (value >= QV_KEYSET_FIRST && value <= QV_KEYSET_LAST) {
            m_nKeySet = KEYSET_EXTENDED;
            m_bForward = 1;
        }
        break;
    case QV_EVENT_EXTENDED_KEY:
        if (m_nKeySet == KEYSET_EXTENDED) {
            UINT vk = VirtualKeyFromExtendedKey(value);
            if (vk != 0)
                PressKey(vk);
        }
        break;
    case QV_EVENT_KEY:
        if (m_bForward) {
            // The window comes forward even for a key that maps to nothing.
            BringToFront(m_hTarget, TRUE);
            UINT vk = VirtualKeyFromHandsetKey(static_cast<BYTE>(value & 0xFF));
            if (vk != 0)
                PressKey(vk);
        }
        break;
    case QV_EVENT_ACTIVATE:
        BringToFront(m_hTarget, TRUE);
        break;
    case QV_EVENT_ESCAPE:
        if (m_bForward) {
            PressKey(VK_ESCAPE);
        } else if (m_hTarget != nullptr) {
            // Asynchronous, as in BringToFront: a hung softphone must not stop us.
            ::ShowWindowAsync(m_hTarget, SW_HIDE);
        }
        break;
    case QV_EVENT_FORWARD_ON:
        m_bForward = 1;
        break;
    case QV_EVENT_FORWARD_OFF:
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

// Windows gives the foreground only to a caller that meets the rules in
// SetForegroundWindow's remarks (learn.microsoft.com/windows/win32/api/winuser/
// nf-winuser-setforegroundwindow): the foreground process, the one that
// received the last input event, or any while there is no foreground window,
// and never while the foreground process holds LockSetForegroundWindow's
// lock, which pressing ALT lifts (nf-winuser-locksetforegroundwindow). A
// background program like this one meets none of them. A thread attached by
// AttachThreadInput shares the input state of the thread it is attached to,
// its active and focus window (nf-winuser-attachthreadinput): attached to the
// foreground window's thread, it is part of the foreground for the moment,
// and "one thread can always activate another thread's window" whose input
// it shares (procthread/creating-windows-in-threads). Where even that is
// refused, the well-known fallback, not a documented one: an injected ALT
// stands for the user's, which lifts the lock, and makes this program the
// last to give input. Once, and only for the user's own asking (a handset
// key): typed every second into whatever the user is doing, an ALT would
// close the menu they have open. Past that Windows flashes the taskbar button.
void CKeyBridge::BringToFront(HWND hWnd, BOOL bUserAsked)
{
    if (hWnd == nullptr)
        return;
    // Already the visible, active window in front: activating it again would
    // change nothing on screen and only delay the key.
    HWND hFront = ::GetForegroundWindow();
    if (hWnd == hFront && ::IsWindowVisible(hWnd) && !::IsIconic(hWnd))
        return;
    // A softphone that does not answer is not activated; its keys are posted
    // all the same and wait in its queue.
    if (!Answers(hWnd))
        return;
    // ShowWindow on another thread's window waits until that thread has done
    // it, and UpdateWindow has it paint while we wait: the window's own thread
    // shows and paints it when it next reads its queue.
    ::ShowWindowAsync(hWnd, ::IsIconic(hWnd) ? SW_RESTORE : SW_SHOW);

    // The target first, the foreground's thread last: Wine keeps only the last
    // of two attachments, and it is the foreground's that the rule asks for.
    // The window in front must answer too, or the activation waits for it.
    DWORD dwOwn = ::GetCurrentThreadId();
    DWORD dwTarget = ::GetWindowThreadProcessId(hWnd, nullptr);
    DWORD dwFront = hFront != nullptr ? ::GetWindowThreadProcessId(hFront, nullptr) : 0;
    BOOL bTarget = dwTarget != dwOwn && ::AttachThreadInput(dwOwn, dwTarget, TRUE);
    BOOL bFront = dwFront != 0 && dwFront != dwOwn && dwFront != dwTarget && Answers(hFront) &&
                  ::AttachThreadInput(dwOwn, dwFront, TRUE);
    BOOL bDone = m_pfnSetForegroundWindow(hWnd);
    if (bDone && bTarget)
        ::SetActiveWindow(hWnd);
    if (bFront)
        ::AttachThreadInput(dwOwn, dwFront, FALSE);
    if (bTarget)
        ::AttachThreadInput(dwOwn, dwTarget, FALSE);
    // Detached by now: the ALT goes to the window in front, which may be hung,
    // and nothing here waits for it. Whether it worked or not, nothing
    // depends on it: the keys are posted.
    if (!bDone && bUserAsked) {
        InjectAlt();
        m_pfnSetForegroundWindow(hWnd);
    }
    // Wine activates the window on its own thread, when that thread next
    // reads its queue: a key posted now would be handled in the middle of
    // that, late. A message sent after the activation returns after it.
    Answers(hWnd);
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
    return static_cast<int>(static_cast<UINT>(state) - static_cast<UINT>(PHONE_STATE_FIRST));
}
