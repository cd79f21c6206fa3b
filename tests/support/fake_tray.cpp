// Wine's Shell_NotifyIcon hands the record to the first window of the class
// "Shell_TrayWnd" by WM_COPYDATA, the NIM_ code as its tag, and returns its
// answer. The record starts with four 32-bit fields (the owner window, the
// id, the flags, the callback message) and the tip as UTF-16. A topmost
// window of our own comes before the task bar's, so the real tray hears
// nothing while it exists: neither the calls nor its own clean-up of a
// destroyed owner's icon can stand in for what the program did.
#include "fake_tray.h"

CFakeTray::CFakeTray(int nRefusals)
    : m_nRefusals(nRefusals)
    , m_thread(&CFakeTray::Make, this)
{
}

CFakeTray::~CFakeTray()
{
    m_thread.Close();
}

std::vector<ShellCall> CFakeTray::Taken()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_taken;
}

HWND CFakeTray::Make(void* pParam)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "Shell_TrayWnd";
    ::RegisterClassA(&wc); // a second tray reuses it
    HWND hWnd = ::CreateWindowExA(WS_EX_TOPMOST, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pParam));
    return hWnd;
}

LRESULT CALLBACK CFakeTray::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto pThis = reinterpret_cast<CFakeTray*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (uMsg == WM_DESTROY)
        ::PostQuitMessage(0);
    if (uMsg != WM_COPYDATA || pThis == nullptr)
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    auto pCopy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    auto pFields = static_cast<const DWORD*>(pCopy->lpData);
    char szTip[128] = {};
    ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(pFields + 4), -1, szTip, sizeof szTip - 1,
                          nullptr, nullptr);
    // A window handle is 32 bits wide in any process, sign-extended in a 64-bit one.
    HWND hOwner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(pFields[0])));
    std::lock_guard<std::mutex> lock(pThis->m_lock);
    bool bRefuse = pThis->m_nRefused < pThis->m_nRefusals;
    if (bRefuse)
        ++pThis->m_nRefused;
    else
        pThis->m_taken.push_back({static_cast<DWORD>(pCopy->dwData), szTip, hOwner, pFields[1]});
    return bRefuse ? FALSE : TRUE;
}
