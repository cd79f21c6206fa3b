#include "hid_panel_window.h"

#include "standins/handset_sim/panel_ids.h"
#include "standins/hid_phone/virtual_phone.h"
#include "standins/window_object.h"

#include <stdio.h>
#include <string.h>

namespace {

const char HID_PANEL_CLASS[] = "TandivorexHidPanel";
const char HID_PANEL_TITLE[] = "Virtual USB phone";

const int CLIENT_WIDTH = 340; // room for "Plugged in: " and the longest model name
const int CLIENT_HEIGHT = 400;
const int MARGIN = 12;
const int GAP = 6;
const int KEYS_TOP = 150;
const int KEY_HEIGHT = 36;

const UINT_PTR TIMER_LAMPS = 1;
const UINT LAMPS_MS = 100;

const USHORT PAGE_TELEPHONY = 0x0B;
const USHORT PAGE_LED = 0x08;
const USAGE HOOK_SWITCH = 0x20;
const USAGE REDIAL = 0x24;

// Beside the handset panel's ids (the status, plug and lamps read alike).
const int IDC_HID_HOOK = 110;
const int IDC_HID_REDIAL = 111;

// The key pad as on the device: Phone Key 0 to 9, Star and Pound (0xB0-0xBB).
const struct {
    const char* label;
    USAGE usage;
} s_keys[] = {
    {"1", 0xB1}, {"2", 0xB2}, {"3", 0xB3}, {"4", 0xB4}, {"5", 0xB5}, {"6", 0xB6},
    {"7", 0xB7}, {"8", 0xB8}, {"9", 0xB9}, {"*", 0xBA}, {"0", 0xB0}, {"#", 0xBB},
};
const int KEY_COUNT = sizeof(s_keys) / sizeof(s_keys[0]);

// The lamps by what they tell, the most telling first; the LED page's usages.
const struct {
    USAGE usage;
    const char* name;
    const char* state;
} s_lamps[] = {
    {0x18, "Ring", "ringing"}, {0x20, "Hold", "on hold"}, {0x2C, "Busy", "busy"},
    {0x17, "Off-Hook", "talking"}, {0x09, "Mute", nullptr},
};

RECT Rect(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

// Only what changed is set: a static set again each poll flickers.
void SetText(HWND hWnd, const char* text)
{
    char shown[128];
    ::GetWindowTextA(hWnd, shown, sizeof(shown));
    if (strcmp(shown, text) != 0)
        ::SetWindowTextA(hWnd, text);
}

} // namespace

CHidPanelWindow::CHidPanelWindow(const VirtualPhoneModel* pModel)
    : m_pModel(pModel)
    , m_hWnd(nullptr)
    , m_hStatus(nullptr)
    , m_hPlug(nullptr)
    , m_hHook(nullptr)
    , m_hLampName(nullptr)
    , m_hLampDetail(nullptr)
    , m_hFont(::CreateFontA(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Arial"))
    , m_hLampFont(::CreateFontA(-28, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Arial"))
    , m_pData(nullptr)
    , m_caps()
    , m_bPlugged(FALSE)
    , m_bOffHook(FALSE)
    , m_aLamps()
    , m_nLamps(0)
{
}

CHidPanelWindow::~CHidPanelWindow()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    FreeParsedData();
    // A device left plugged would outlive the panel, with nobody to drive it.
    if (m_bPlugged)
        VirtualPhoneUnplug();
    ::DeleteObject(m_hFont);
    ::DeleteObject(m_hLampFont);
}

int CHidPanelWindow::Run(const VirtualPhoneModel* pModel)
{
    CHidPanelWindow panel(pModel);
    if (!panel.Create()) {
        fprintf(stderr, "hid-panel: cannot create the panel (error %lu)\n", ::GetLastError());
        return 1;
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

BOOL CHidPanelWindow::Create()
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CHidPanelWindow::WindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));   // IDI_APPLICATION
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = HID_PANEL_CLASS;
    ::RegisterClassA(&wc);

    // At the top right, out of the softphone's way, as the handset's panel.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rc = {0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    ::AdjustWindowRect(&rc, style, FALSE);
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    RECT work;
    if (::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        x = work.right - (rc.right - rc.left) - MARGIN;
        y = work.top + MARGIN;
    }
    m_hWnd = ::CreateWindowExA(0, HID_PANEL_CLASS, HID_PANEL_TITLE, style, x, y, rc.right - rc.left,
                               rc.bottom - rc.top, nullptr, nullptr, hInstance, this);
    if (m_hWnd == nullptr)
        return FALSE;
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

LRESULT CALLBACK CHidPanelWindow::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = static_cast<CHidPanelWindow*>(WindowObject(hWnd, uMsg, lParam));
    return pThis != nullptr ? pThis->OnMessage(hWnd, uMsg, wParam, lParam)
                            : ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CHidPanelWindow::OnMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        m_hWnd = hWnd;
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer();
        return 0;
    case WM_DESTROY:
        ::KillTimer(hWnd, TIMER_LAMPS);
        m_hWnd = nullptr;
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

HWND CHidPanelWindow::AddControl(const char* className, const char* text, DWORD style, int id, const RECT& rc)
{
    HWND hControl = ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                                      rc.right - rc.left, rc.bottom - rc.top, m_hWnd,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    ::SendMessageA(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
    return hControl;
}

void CHidPanelWindow::OnCreate()
{
    const int width = CLIENT_WIDTH - 2 * MARGIN;
    m_hStatus = AddControl("STATIC", "", SS_LEFT, IDC_PANEL_STATUS, Rect(MARGIN, MARGIN, width - 100, 20));
    m_hPlug = AddControl("BUTTON", "Plug in", BS_PUSHBUTTON, IDC_PANEL_PLUG,
                         Rect(CLIENT_WIDTH - MARGIN - 90, MARGIN - 4, 90, 26));
    m_hLampName = AddControl("STATIC", "idle", SS_LEFT, IDC_PANEL_LAMP_NAME, Rect(MARGIN, 48, width, 36));
    ::SendMessageA(m_hLampName, WM_SETFONT, reinterpret_cast<WPARAM>(m_hLampFont), FALSE);
    m_hLampDetail = AddControl("STATIC", "lamps: none lit", SS_LEFT, IDC_PANEL_LAMP_DETAIL,
                               Rect(MARGIN, 90, width, 20));
    m_hHook = AddControl("BUTTON", "Lift handset", BS_PUSHBUTTON, IDC_HID_HOOK, Rect(MARGIN, 116, width, 28));
    const int keyWidth = (width - 2 * GAP) / 3;
    for (int i = 0; i < KEY_COUNT; ++i) {
        AddControl("BUTTON", s_keys[i].label, BS_PUSHBUTTON, IDC_PANEL_FIRST_KEY + i,
                   Rect(MARGIN + (i % 3) * (keyWidth + GAP), KEYS_TOP + (i / 3) * (KEY_HEIGHT + GAP), keyWidth,
                        KEY_HEIGHT));
    }
    AddControl("BUTTON", "Redial", BS_PUSHBUTTON, IDC_HID_REDIAL,
               Rect(MARGIN, KEYS_TOP + 4 * (KEY_HEIGHT + GAP), width, 28));
    ::SetTimer(m_hWnd, TIMER_LAMPS, LAMPS_MS, nullptr);
    ShowState();
}

void CHidPanelWindow::OnCommand(int id)
{
    if (id == IDC_PANEL_PLUG) {
        TogglePlug();
    } else if (id == IDC_HID_HOOK) {
        m_bOffHook = !m_bOffHook;
        if (m_bPlugged && !SendKeys(0))
            m_bOffHook = !m_bOffHook;
    } else if (id == IDC_HID_REDIAL) {
        SendKeys(REDIAL) && SendKeys(0);
    } else if (id >= IDC_PANEL_FIRST_KEY && id < IDC_PANEL_FIRST_KEY + KEY_COUNT) {
        // Pressed, then released: two reports, as the device sends them.
        SendKeys(s_keys[id - IDC_PANEL_FIRST_KEY].usage) && SendKeys(0);
    }
    ShowState();
}

// Plugging and unplugging take a couple of seconds each: the panel waits for
// them, as the person pushing the plug would.
void CHidPanelWindow::TogglePlug()
{
    ::SetWindowTextA(m_hStatus, m_bPlugged ? "Unplugging..." : "Plugging in...");
    ::UpdateWindow(m_hStatus);
    if (m_bPlugged) {
        FreeParsedData();
        VirtualPhoneUnplug();
        m_bPlugged = FALSE;
        m_nLamps = 0;
    } else if (VirtualPhonePlug(m_pModel)) {
        m_bPlugged = TRUE;
        if (!OpenParsedData())
            ::MessageBeep(MB_ICONWARNING);
    }
}

// The device's own descriptor as hid.dll parses it, read through a handle
// that asks for no access, so that the program using the device is undisturbed.
BOOL CHidPanelWindow::OpenParsedData()
{
    wchar_t path[MAX_PATH];
    if (!VirtualPhoneFindCollection(PAGE_TELEPHONY, path, MAX_PATH))
        return FALSE;
    HANDLE hDevice = ::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = ::HidD_GetPreparsedData(hDevice, &m_pData);
    ::CloseHandle(hDevice);
    if (ok && ::HidP_GetCaps(m_pData, &m_caps) == HIDP_STATUS_SUCCESS)
        return TRUE;
    FreeParsedData();
    return FALSE;
}

void CHidPanelWindow::FreeParsedData()
{
    if (m_pData != nullptr)
        ::HidD_FreePreparsedData(m_pData);
    m_pData = nullptr;
}

// One input report: the hook switch as it stands, with the key held (0 for
// none). FALSE when the device has no such key or refused the report.
BOOL CHidPanelWindow::SendKeys(USAGE key)
{
    if (m_pData == nullptr)
        return FALSE;
    USAGE anchor = key != 0 ? key : HOOK_SWITCH;
    HIDP_BUTTON_CAPS caps = {};
    USHORT nCaps = 1;
    if (::HidP_GetSpecificButtonCaps(HidP_Input, PAGE_TELEPHONY, 0, anchor, &caps, &nCaps, m_pData) !=
        HIDP_STATUS_SUCCESS)
        return FALSE;
    BYTE report[VIRTUAL_PHONE_MAX_REPORT] = {};
    ULONG cb = m_caps.InputReportByteLength;
    if (cb > sizeof(report) ||
        ::HidP_InitializeReportForID(HidP_Input, caps.ReportID, m_pData, reinterpret_cast<PCHAR>(report), cb) !=
            HIDP_STATUS_SUCCESS)
        return FALSE;
    USAGE usages[2];
    ULONG nUsages = 0;
    if (m_bOffHook)
        usages[nUsages++] = HOOK_SWITCH;
    if (key != 0)
        usages[nUsages++] = key;
    // The hook switch may sit in another report than the key: then it is left out.
    for (ULONG i = 0; i < nUsages; ++i) {
        ULONG one = 1;
        NTSTATUS status = ::HidP_SetUsages(HidP_Input, PAGE_TELEPHONY, 0, &usages[i], &one, m_pData,
                                           reinterpret_cast<PCHAR>(report), cb);
        if (status != HIDP_STATUS_SUCCESS && usages[i] == key)
            return FALSE;
    }
    return VirtualPhoneSendInput(report, cb);
}

// Each output report sets the lamps it carries and leaves the others: a
// device may give each lamp a report of its own.
void CHidPanelWindow::TakeLamps()
{
    BYTE aReports[16][VIRTUAL_PHONE_MAX_REPORT];
    DWORD aSizes[16];
    int n = VirtualPhoneTakeOutputs(aReports, aSizes, 16);
    for (int r = 0; r < n && m_pData != nullptr; ++r) {
        BYTE report[VIRTUAL_PHONE_MAX_REPORT] = {};
        ULONG cb = m_caps.OutputReportByteLength;
        if (cb == 0 || cb > sizeof(report))
            return;
        memcpy(report, aReports[r], aSizes[r] < cb ? aSizes[r] : cb);
        for (const auto& lamp : s_lamps) {
            HIDP_BUTTON_CAPS caps = {};
            USHORT nCaps = 1;
            if (::HidP_GetSpecificButtonCaps(HidP_Output, PAGE_LED, 0, lamp.usage, &caps, &nCaps, m_pData) !=
                    HIDP_STATUS_SUCCESS ||
                caps.ReportID != report[0])
                continue;
            USAGE lit[16];
            ULONG nLit = 16;
            BOOL bOn = FALSE;
            if (::HidP_GetUsages(HidP_Output, PAGE_LED, 0, lit, &nLit, m_pData, reinterpret_cast<PCHAR>(report),
                                 cb) == HIDP_STATUS_SUCCESS) {
                for (ULONG i = 0; i < nLit; ++i)
                    bOn = bOn || lit[i] == lamp.usage;
            }
            ULONG at = 0;
            while (at < m_nLamps && m_aLamps[at] != lamp.usage)
                ++at;
            if (bOn && at == m_nLamps && m_nLamps < sizeof(m_aLamps) / sizeof(m_aLamps[0]))
                m_aLamps[m_nLamps++] = lamp.usage;
            else if (!bOn && at < m_nLamps)
                m_aLamps[at] = m_aLamps[--m_nLamps];
        }
    }
}

void CHidPanelWindow::OnTimer()
{
    if (!m_bPlugged)
        return;
    TakeLamps();
    ShowState();
}

void CHidPanelWindow::ShowState()
{
    char text[128];
    snprintf(text, sizeof(text), m_bPlugged ? "Plugged in: %s" : "Unplugged (%s)", m_pModel->pszName);
    SetText(m_hStatus, text);
    SetText(m_hPlug, m_bPlugged ? "Unplug" : "Plug in");
    SetText(m_hHook, m_bOffHook ? "Hang up" : "Lift handset");
    const char* state = "idle";
    char detail[128] = "lamps:";
    for (const auto& lamp : s_lamps) {
        for (ULONG i = 0; i < m_nLamps; ++i) {
            if (m_aLamps[i] != lamp.usage)
                continue;
            if (strcmp(state, "idle") == 0 && lamp.state != nullptr)
                state = lamp.state;
            strncat(detail, " ", sizeof(detail) - strlen(detail) - 1);
            strncat(detail, lamp.name, sizeof(detail) - strlen(detail) - 1);
        }
    }
    if (m_nLamps == 0)
        strncat(detail, " none lit", sizeof(detail) - strlen(detail) - 1);
    SetText(m_hLampName, state);
    SetText(m_hLampDetail, detail);
}
