#include "panel_window.h"

#include "standins/handset_sim/device_codes.h"
#include "standins/handset_sim/panel_ids.h"
#include "standins/window_object.h"

#include <stdio.h>
#include <string.h>

using namespace handset_protocol;

namespace {

const char PANEL_CLASS[] = "TandivorexHandsetPanel";
const char PANEL_TITLE[] = "Simulated handset";

const int CLIENT_WIDTH = 300;
const int CLIENT_HEIGHT = 652;
const int MARGIN = 12;
const int GAP = 6;
const RECT LAMP_CIRCLE = {MARGIN, 48, MARGIN + 56, 104};
const int KEYS_TOP = 156;
const int KEYPAD_ROW_HEIGHT = 40; // the big keys; the rows below have smaller ones
const int LIST_TOP = 484;
const size_t MAX_LIST_ROWS = 200;

const UINT_PTR TIMER_POLL = 1;
const UINT POLL_MS = 200;
const UINT_PTR TIMER_FLASH = 2;
const UINT FLASH_MS = 150;

// The keypad, row by row, by the command line's key names: a button sends
// exactly what `handset-sim key NAME` sends.
struct KeyRow {
    int height;
    struct {
        const char* name;
        const char* label;
    } keys[4];
};

const KeyRow s_keyRows[] = {
    {KEYPAD_ROW_HEIGHT, {{"1", "1"}, {"2", "2"}, {"3", "3"}}},
    {KEYPAD_ROW_HEIGHT, {{"4", "4"}, {"5", "5"}, {"6", "6"}}},
    {KEYPAD_ROW_HEIGHT, {{"7", "7"}, {"8", "8"}, {"9", "9"}}},
    {KEYPAD_ROW_HEIGHT, {{"*", "*"}, {"0", "0"}, {"#", "#"}}},
    {32, {{"up", "Up"}, {"down", "Down"}, {"enter", "Enter"}}},
    {28, {{"activate", "Bring forward"}, {"escape", "Esc / hide"}}},
    {28, {{"forward-on", "Forward on"}, {"forward-off", "Forward off"}}},
    {28, {{"keyset", "Keyset"}, {"left", "Left"}, {"f5", "F5"}, {"right", "Right"}}},
};

// Keys of the keyboard that are not characters; digits, * and # (or /) come as characters.
const struct {
    UINT vk;
    const char* name;
} s_virtualKeys[] = {
    {VK_RETURN, "enter"}, {VK_UP, "up"}, {VK_DOWN, "down"}, {VK_LEFT, "left"},
    {VK_RIGHT, "right"}, {VK_ESCAPE, "escape"}, {VK_F5, "f5"},
};

HFONT MakeFont(int height, int weight, const char* face)
{
    return ::CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
}

RECT Rect(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

void FormatTime(const FILETIME& utc, char* text, size_t size)
{
    FILETIME local;
    SYSTEMTIME st;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st)) {
        snprintf(text, size, "--:--:--.---");
        return;
    }
    snprintf(text, size, "%02u:%02u:%02u.%03u", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

} // namespace

CPanelWindow::CPanelWindow()
    : m_hWnd(nullptr)
    , m_hStatus(nullptr)
    , m_hPlug(nullptr)
    , m_hLampName(nullptr)
    , m_hLampDetail(nullptr)
    , m_hMessage(nullptr)
    , m_hCommands(nullptr)
    , m_hFlashed(nullptr)
    , m_bPlugged(FALSE)
    , m_crLamp(LAMP_OFF)
    , m_hTextFont(MakeFont(15, FW_NORMAL, "Arial"))
    , m_hKeyFont(MakeFont(20, FW_BOLD, "Arial"))
    , m_hLampFont(MakeFont(30, FW_BOLD, "Arial"))
    , m_hListFont(MakeFont(14, FW_NORMAL, "Courier New"))
{
}

CPanelWindow::~CPanelWindow()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    for (HFONT hFont : {m_hTextFont, m_hKeyFont, m_hLampFont, m_hListFont})
        ::DeleteObject(hFont);
}

int CPanelWindow::Run()
{
    // Should the device not start, the panel says "No device" and waits for one.
    CDeviceLink::StartDeviceIfNone();
    CPanelWindow panel;
    if (!panel.Create()) {
        fprintf(stderr, "handset-sim: cannot create the panel (error %lu)\n", ::GetLastError());
        return 1;
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (panel.PreTranslateMessage(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

BOOL CPanelWindow::Create()
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CPanelWindow::WindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));   // IDI_APPLICATION
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = PANEL_CLASS;
    ::RegisterClassA(&wc);

    // Fixed in size; the first panel sits at the top right, out of the softphone's way.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rc = {0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    ::AdjustWindowRect(&rc, style, FALSE);
    int width = rc.right - rc.left;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    RECT work;
    if (::FindWindowA(PANEL_CLASS, nullptr) == nullptr && ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        x = work.right - width - MARGIN;
        y = work.top + MARGIN;
    }
    m_hWnd = ::CreateWindowExA(0, PANEL_CLASS, PANEL_TITLE, style, x, y, width, rc.bottom - rc.top, nullptr, nullptr,
                               hInstance, this);
    if (m_hWnd == nullptr)
        return FALSE;
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

// The keyboard works wherever the focus is in the panel, a button included.
BOOL CPanelWindow::PreTranslateMessage(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR)
        return FALSE;
    if (msg.hwnd != m_hWnd && !::IsChild(m_hWnd, msg.hwnd))
        return FALSE;
    const char* name = nullptr;
    char character[2] = {};
    if (msg.message == WM_KEYDOWN) {
        for (const auto& key : s_virtualKeys) {
            if (key.vk == msg.wParam)
                name = key.name;
        }
    } else if ((msg.wParam >= '0' && msg.wParam <= '9') || msg.wParam == '*' || msg.wParam == '#') {
        character[0] = static_cast<char>(msg.wParam);
        name = character;
    } else if (msg.wParam == '/') {
        name = "#"; // the keypad's divide, as the handset's hash key reaches the softphone
    }
    if (name == nullptr)
        return FALSE;
    // A held key presses once, as on the handset.
    BOOL bRepeat = (msg.lParam & 0x40000000) != 0;
    for (Key& key : m_keys) {
        if (!bRepeat && strcmp(key.name, name) == 0)
            Press(key, TRUE);
    }
    return TRUE;
}

LRESULT CALLBACK CPanelWindow::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = static_cast<CPanelWindow*>(WindowObject(hWnd, uMsg, lParam));
    return pThis != nullptr ? pThis->OnMessage(hWnd, uMsg, wParam, lParam) : ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CPanelWindow::OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_NCCREATE:
        m_hWnd = hWnd; // before WM_CREATE, whose controls need it
        break;
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(
            OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
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

void CPanelWindow::OnCreate()
{
    const int inner = CLIENT_WIDTH - 2 * MARGIN;
    const int lampLeft = LAMP_CIRCLE.right + MARGIN;
    const int lampWidth = CLIENT_WIDTH - MARGIN - lampLeft;
    m_hStatus = AddControl("STATIC", "", SS_CENTERIMAGE, IDC_PANEL_STATUS, Rect(MARGIN, 12, inner - 102, 26),
                           m_hTextFont);
    m_hPlug = AddControl("BUTTON", "Plug in", BS_PUSHBUTTON, IDC_PANEL_PLUG,
                         Rect(CLIENT_WIDTH - MARGIN - 96, 12, 96, 26), m_hTextFont);
    m_hLampName = AddControl("STATIC", "", SS_CENTERIMAGE, IDC_PANEL_LAMP_NAME,
                             Rect(lampLeft, LAMP_CIRCLE.top, lampWidth, 34), m_hLampFont);
    m_hLampDetail = AddControl("STATIC", "", 0, IDC_PANEL_LAMP_DETAIL,
                               Rect(lampLeft, LAMP_CIRCLE.top + 36, lampWidth, 20), m_hTextFont);
    m_hMessage = AddControl("STATIC", "", 0, IDC_PANEL_MESSAGE, Rect(MARGIN, 112, inner, 36), m_hTextFont);

    int top = KEYS_TOP;
    for (const KeyRow& row : s_keyRows) {
        int count = 0;
        while (count < 4 && row.keys[count].name != nullptr)
            ++count;
        int width = (inner - (count - 1) * GAP) / count;
        for (int i = 0; i < count; ++i) {
            Key key = {nullptr, row.keys[i].name, row.keys[i].label, {0, 0}};
            // A name the key table does not know would be a slip here: such a button stays greyed.
            BOOL bKnown = LookupKey(key.name, &key.event);
            int id = IDC_PANEL_FIRST_KEY + static_cast<int>(m_keys.size());
            key.hButton = AddControl("BUTTON", key.label, BS_PUSHBUTTON | (bKnown ? 0 : WS_DISABLED), id,
                                     Rect(MARGIN + i * (width + GAP), top, width, row.height),
                                     row.height >= KEYPAD_ROW_HEIGHT ? m_hKeyFont : m_hTextFont);
            m_keys.push_back(key);
        }
        top += row.height + GAP;
    }

    AddControl("STATIC", "Commands received, newest first:", 0, -1, Rect(MARGIN, LIST_TOP, inner, 18),
               m_hTextFont);
    m_hCommands = AddControl("LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                             IDC_PANEL_COMMANDS, Rect(MARGIN, LIST_TOP + 20, inner, CLIENT_HEIGHT - LIST_TOP - 32),
                             m_hListFont);
    ShowNoDevice();
    Poll();
    ::SetTimer(m_hWnd, TIMER_POLL, POLL_MS, nullptr);
}

HWND CPanelWindow::AddControl(const char* className, const char* text, DWORD style, int id, const RECT& rc,
                              HFONT hFont)
{
    HWND hControl = ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                                      rc.right - rc.left, rc.bottom - rc.top, m_hWnd,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
    return hControl;
}

void CPanelWindow::OnCommand(int id)
{
    if (id == IDC_PANEL_PLUG) {
        TogglePlug();
        return;
    }
    size_t index = static_cast<size_t>(id - IDC_PANEL_FIRST_KEY);
    if (id >= IDC_PANEL_FIRST_KEY && index < m_keys.size())
        Press(m_keys[index], FALSE);
}

void CPanelWindow::OnTimer(UINT_PTR id)
{
    if (id == TIMER_FLASH) {
        ::KillTimer(m_hWnd, TIMER_FLASH);
        if (m_hFlashed != nullptr)
            ::SendMessageA(m_hFlashed, BM_SETSTATE, FALSE, 0);
        m_hFlashed = nullptr;
    } else if (id == TIMER_POLL) {
        Poll();
    }
}

void CPanelWindow::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    HBRUSH hBrush = ::CreateSolidBrush(m_crLamp);
    HPEN hPen = ::CreatePen(PS_SOLID, 2, RGB(30, 30, 30));
    HGDIOBJ hOldBrush = ::SelectObject(hdc, hBrush);
    HGDIOBJ hOldPen = ::SelectObject(hdc, hPen);
    ::Ellipse(hdc, LAMP_CIRCLE.left, LAMP_CIRCLE.top, LAMP_CIRCLE.right, LAMP_CIRCLE.bottom);
    if (m_crLamp != LAMP_OFF) {
        // A glint, so that a lit lamp reads as lit even in grey.
        ::SelectObject(hdc, ::GetStockObject(WHITE_BRUSH));
        ::SelectObject(hdc, ::GetStockObject(NULL_PEN));
        ::Ellipse(hdc, LAMP_CIRCLE.left + 12, LAMP_CIRCLE.top + 10, LAMP_CIRCLE.left + 26, LAMP_CIRCLE.top + 24);
    }
    ::SelectObject(hdc, hOldBrush);
    ::SelectObject(hdc, hOldPen);
    ::DeleteObject(hBrush);
    ::DeleteObject(hPen);
    ::EndPaint(m_hWnd, &ps);
}

HBRUSH CPanelWindow::OnCtlColorStatic(HDC hdc, HWND hControl)
{
    ::SetBkMode(hdc, TRANSPARENT);
    ::SetTextColor(hdc, hControl == m_hLampName && m_crLamp != LAMP_OFF ? m_crLamp : ::GetSysColor(COLOR_BTNTEXT));
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

void CPanelWindow::Press(Key& key, BOOL bFromKeyboard)
{
    if (!::IsWindowEnabled(key.hButton))
        return;
    if (bFromKeyboard) {
        if (m_hFlashed != nullptr)
            ::SendMessageA(m_hFlashed, BM_SETSTATE, FALSE, 0);
        m_hFlashed = key.hButton;
        ::SendMessageA(m_hFlashed, BM_SETSTATE, TRUE, 0);
        ::SetTimer(m_hWnd, TIMER_FLASH, FLASH_MS, nullptr);
    }
    char text[128];
    if (const char* problem = m_link.SendEvent(key.event))
        snprintf(text, sizeof(text), "%s not sent: %s", key.label, problem);
    else
        snprintf(text, sizeof(text), "Sent %s", key.label);
    SetText(m_hMessage, text);
}

void CPanelWindow::TogglePlug()
{
    BOOL bPlugged = !m_bPlugged;
    if (const char* problem = m_link.SetPlugged(bPlugged)) {
        char text[128];
        snprintf(text, sizeof(text), "%s failed: %s", bPlugged ? "Plug in" : "Unplug", problem);
        SetText(m_hMessage, text);
    } else {
        SetText(m_hMessage, bPlugged ? "Plugged in" : "Unplugged");
    }
    Poll();
}

void CPanelWindow::Poll()
{
    CDeviceLink::PollResult result = m_link.Poll();
    if (result == CDeviceLink::POLL_NO_DEVICE) {
        ShowNoDevice();
        return;
    }
    if (result == CDeviceLink::POLL_NO_ANSWER)
        return;
    if (result == CDeviceLink::POLL_NEW_DEVICE) {
        // Another run of the device: its own history, told afresh.
        ::SendMessageA(m_hCommands, LB_RESETCONTENT, 0, 0);
        SetText(m_hLampName, "");
        SetText(m_hLampDetail, "No command yet");
        SetText(m_hMessage, "");
        SetLamp(LAMP_OFF);
        ::EnableWindow(m_hPlug, TRUE);
    }
    LRESULT status = m_link.Status();
    m_bPlugged = (status & DEVICE_STATUS_PLUGGED) != 0;
    BOOL bOpen = (status & DEVICE_STATUS_OPEN) != 0;
    SetText(m_hStatus, !m_bPlugged ? "Unplugged" : bOpen ? "Plugged in, open" : "Plugged in, not open");
    SetText(m_hPlug, m_bPlugged ? "Unplug" : "Plug in");
    AddCommands(m_link.TakeNewCommands());
}

void CPanelWindow::ShowNoDevice()
{
    SetText(m_hStatus, "No device");
    SetText(m_hLampName, "");
    SetText(m_hLampDetail, "Waiting for a device");
    m_bPlugged = FALSE;
    SetText(m_hPlug, "Plug in");
    ::EnableWindow(m_hPlug, FALSE);
    SetLamp(LAMP_OFF);
}

void CPanelWindow::AddCommands(const std::vector<CommandRecord>& records)
{
    for (const CommandRecord& record : records) {
        const DeviceCode& code = DescribeCode(record.code);
        char time[16];
        FormatTime(record.time, time, sizeof(time));
        char row[64];
        snprintf(row, sizeof(row), "%s  0x%04lX  %s", time, record.code, code.name);
        ::SendMessageA(m_hCommands, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(row));
        if (static_cast<size_t>(::SendMessageA(m_hCommands, LB_GETCOUNT, 0, 0)) > MAX_LIST_ROWS)
            ::SendMessageA(m_hCommands, LB_DELETESTRING, MAX_LIST_ROWS, 0);
        if (&record == &records.back()) {
            SetText(m_hLampName, code.name);
            snprintf(row, sizeof(row), "0x%04lX at %s", record.code, time);
            SetText(m_hLampDetail, row);
            SetLamp(code.lamp);
        }
    }
}

void CPanelWindow::SetLamp(COLORREF lamp)
{
    if (lamp == m_crLamp)
        return;
    m_crLamp = lamp;
    ::InvalidateRect(m_hWnd, &LAMP_CIRCLE, TRUE);
    ::InvalidateRect(m_hLampName, nullptr, TRUE);
}

// Only a change is drawn: the panel polls five times a second and must not flicker.
void CPanelWindow::SetText(HWND hWnd, const char* text)
{
    char current[128] = {};
    ::GetWindowTextA(hWnd, current, sizeof(current));
    if (strcmp(current, text) == 0)
        return;
    ::SetWindowTextA(hWnd, text);
}
