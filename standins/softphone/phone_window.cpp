#include "phone_window.h"

#include "control_ids.h"
#include "standins/window_object.h"

namespace {

const int CLIENT_WIDTH = 480;
const int CLIENT_HEIGHT = 200;
const int MARGIN = 12;
const int LCD_HEIGHT = 84;
const int LCD_PADDING = 14;
const COLORREF LCD_BACK = RGB(24, 40, 32);
const COLORREF LCD_TEXT = RGB(140, 255, 170);

HFONT MakeFont(int height, int weight)
{
    return ::CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

} // namespace

CPhoneWindow::CPhoneWindow(CEventLog* pLog)
    : m_pLog(pLog)
    , m_display()
    , m_hWnd(nullptr)
    , m_hNumber(nullptr)
    , m_hStatus(nullptr)
    , m_hLastKey(nullptr)
    , m_hNumberFont(MakeFont(52, FW_BOLD))
    , m_hTextFont(MakeFont(22, FW_NORMAL))
    , m_hLcdBrush(::CreateSolidBrush(LCD_BACK))
{
}

CPhoneWindow::~CPhoneWindow()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    ::DeleteObject(m_hNumberFont);
    ::DeleteObject(m_hTextFont);
    ::DeleteObject(m_hLcdBrush);
}

BOOL CPhoneWindow::Create(const CSoftphoneOptions& options)
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CPhoneWindow::WindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = options.m_strClassName.c_str();
    if (::RegisterClassA(&wc) == 0)
        return FALSE;

    const DWORD dwStyle = WS_OVERLAPPEDWINDOW;
    RECT rc = {0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    ::AdjustWindowRect(&rc, dwStyle, FALSE);
    int x = options.m_bHasPos ? options.m_nX : CW_USEDEFAULT;
    int y = options.m_bHasPos ? options.m_nY : CW_USEDEFAULT;
    m_hWnd = ::CreateWindowExA(0, options.m_strClassName.c_str(), options.m_strTitle.c_str(), dwStyle, x, y,
                               rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, hInstance, this);
    if (m_hWnd == nullptr)
        return FALSE;
    // Before showing, so that the start line comes first in the log.
    m_pLog->Start(m_hWnd);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

LRESULT CALLBACK CPhoneWindow::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = static_cast<CPhoneWindow*>(WindowObject(hWnd, uMsg, lParam));
    return pThis != nullptr ? pThis->OnMessage(hWnd, uMsg, wParam, lParam) : ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CPhoneWindow::OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_NCCREATE:
        m_hWnd = hWnd; // before WM_CREATE, whose controls need it
        break;
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_KEYDOWN:
        m_pLog->Key("keydown", wParam, lParam);
        m_display.KeyDown(static_cast<UINT>(wParam));
        Refresh();
        return 0;
    case WM_KEYUP:
        m_pLog->Key("keyup", wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        m_pLog->Key("syskeydown", wParam, lParam);
        break;
    case WM_SYSKEYUP:
        m_pLog->Key("syskeyup", wParam, lParam);
        break;
    case WM_SHOWWINDOW:
        m_pLog->Event(wParam ? "show" : "hide");
        break;
    case WM_ACTIVATE:
        m_pLog->Event(LOWORD(wParam) == WA_INACTIVE ? "deactivate" : "activate");
        break;
    case WM_PAINT: {
        // The display's dark strip reaches beyond the number, so digits never touch its edge.
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m_hWnd, &ps);
        RECT lcd = {MARGIN, MARGIN, CLIENT_WIDTH - MARGIN, MARGIN + LCD_HEIGHT};
        ::FillRect(hdc, &lcd, m_hLcdBrush);
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == m_hNumber) {
            HDC hdc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(hdc, LCD_TEXT);
            ::SetBkColor(hdc, LCD_BACK);
            return reinterpret_cast<LRESULT>(m_hLcdBrush);
        }
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        LRESULT result = ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
        m_hWnd = nullptr;
        return result;
    }
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CPhoneWindow::CreateControls()
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    const int innerWidth = CLIENT_WIDTH - 2 * MARGIN;
    struct {
        HWND* phWnd;
        int id;
        int left;
        int top;
        int width;
        int height;
        DWORD dwAlign;
        HFONT hFont;
    } const controls[] = {
        {&m_hNumber, IDC_DIAL_NUMBER, MARGIN + LCD_PADDING, MARGIN, innerWidth - 2 * LCD_PADDING, LCD_HEIGHT,
         SS_RIGHT | SS_CENTERIMAGE, m_hNumberFont},
        {&m_hStatus, IDC_DIAL_STATUS, MARGIN, MARGIN + LCD_HEIGHT + 12, innerWidth, 36, SS_LEFT, m_hTextFont},
        {&m_hLastKey, IDC_DIAL_LAST_KEY, MARGIN, MARGIN + LCD_HEIGHT + 56, innerWidth, 36, SS_LEFT, m_hTextFont},
    };
    for (const auto& c : controls) {
        *c.phWnd = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | c.dwAlign, c.left,
                                     c.top, c.width, c.height, m_hWnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), hInstance, nullptr);
        ::SendMessageA(*c.phWnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.hFont), FALSE);
    }
    Refresh();
}

void CPhoneWindow::Refresh()
{
    ::SetWindowTextA(m_hNumber, m_display.Number().c_str());
    ::SetWindowTextA(m_hStatus, m_display.Status().c_str());
    ::SetWindowTextA(m_hLastKey, m_display.LastKey().c_str());
}
