#include "host_dialog.h"

#include "tray/about_dlg.h"

namespace {

HICON LoadAppIcon(UINT nID)
{
    LPCSTR lpszName = MAKEINTRESOURCEA(nID);
    return ::LoadIconA(AfxFindResourceHandle(lpszName, RT_GROUP_ICON), lpszName);
}

// Broadcast by the shell when its task bar is (re)created, e.g. after Explorer
// restarts; registered messages cannot be constants.
const UINT WM_TASKBARCREATED = ::RegisterWindowMessageA("TaskbarCreated");

#ifndef MSGFLT_ALLOW
#define MSGFLT_ALLOW 1
#endif

// Run elevated, the host hears nothing from programs of a lower integrity
// level (the shell among them) unless it lets each message through. Windows 7
// and later only, so looked up rather than imported: older systems still start.
void AllowFromLowerIntegrity(HWND hWnd, UINT uMsg)
{
    typedef BOOL(WINAPI * PFN_CHANGE_FILTER)(HWND, UINT, DWORD, void*);
    FARPROC pfn = ::GetProcAddress(::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    if (pfn != nullptr && uMsg != 0)
        reinterpret_cast<PFN_CHANGE_FILTER>(reinterpret_cast<void (*)()>(pfn))(hWnd, uMsg, MSGFLT_ALLOW, nullptr);
}

} // namespace

CTandivorexDlg::CTandivorexDlg(CWnd* pParent)
    : CDialog(IDD_MAIN_DIALOG, pParent)
    , m_hMenu(nullptr)
    , m_bridge()
    , m_bPhoneKnown(0)
    , m_bDeviceOpen(0)
    , m_szModulePath()
    , m_bAutoRun(0)
    , m_tray()
    , m_hPhoneWnd(nullptr)
    , m_hIcon(LoadAppIcon(IDR_MAINFRAME))
{
    // The wide path: the ANSI one has '?' for every character the code page
    // lacks (a user name in another script) and names no file. A path that
    // filled the whole buffer may be cut short (and, on old systems,
    // unterminated): keep none rather than a wrong one.
    if (::GetModuleFileNameW(nullptr, m_szModulePath, MAX_PATH) >= MAX_PATH)
        ::ZeroMemory(m_szModulePath, sizeof m_szModulePath);
}

CTandivorexDlg::~CTandivorexDlg()
{
    // The library may still call back; it must not find this object any more.
    UnregisterHandsetHost(this);
}

BEGIN_MESSAGE_MAP(CTandivorexDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_HANDSET_EVENT, OnHandsetEvent)
    ON_WM_TIMER()
    ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_PHONE_STATE, OnPhoneState)
    ON_COMMAND(ID_TRAY_ABOUT, OnTrayAbout)
    ON_COMMAND(ID_TRAY_EXIT, OnTrayExit)
    ON_COMMAND(ID_TRAY_AUTORUN, OnTrayAutoRun)
    ON_REGISTERED_MESSAGE(WM_TASKBARCREATED, OnTaskbarCreated)
END_MESSAGE_MAP()

BOOL CTandivorexDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    RegisterHandsetHost(this, m_hWnd);
    AllowFromLowerIntegrity(m_hWnd, WM_TASKBARCREATED);
    AllowFromLowerIntegrity(m_hWnd, WM_PHONE_STATE);

    m_tray.Add(m_hWnd, WM_TRAY_NOTIFY, m_hIcon, "Tandivorex", TRAY_ICON_ID);
    m_tray.ShowStatus(STATUS_NO_DEVICE);

    HMENU hMenu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    m_hMenu = ::GetSubMenu(hMenu, 0);

    LoadAutoRun();

    SetTimer(TIMER_OPEN_DEVICE, 1000, nullptr);
    SetTimer(TIMER_FIND_PHONE, 1000, nullptr);
    return TRUE;
}

void CTandivorexDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT rect;
        GetClientRect(&rect);
        int x = (rect.right - rect.left - cxIcon + 1) / 2;
        int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        // The window exists only to receive messages: it hides on its first paint.
        ShowWindow(SW_HIDE);
        Default();
    }
}

HCURSOR CTandivorexDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CTandivorexDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

LRESULT CTandivorexDlg::OnPhoneState(WPARAM wParam, LPARAM lParam)
{
    // The relay's result is a 32-bit integer; on 64-bit it is sign-extended
    // into the LRESULT, so a sender reading the low 32 bits gets it unchanged.
    return static_cast<LRESULT>(
        m_bridge.ApplyPhoneState(static_cast<int>(wParam), static_cast<int>(lParam)));
}

LRESULT CTandivorexDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    // Without this the icon, our only report and only way out, would be gone
    // for good after the task bar restarts.
    m_tray.Restore();
    return 0;
}
