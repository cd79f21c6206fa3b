#include "host_dialog.h"

namespace {

HICON LoadAppIcon(UINT nID)
{
    LPCSTR lpszName = MAKEINTRESOURCEA(nID);
    return ::LoadIconA(AfxFindResourceHandle(lpszName, RT_GROUP_ICON), lpszName);
}

// Broadcast by the shell when its task bar is (re)created, e.g. after Explorer
// restarts; registered messages cannot be constants.
const UINT WM_TASKBARCREATED = ::RegisterWindowMessageA("TaskbarCreated");

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
    ::GetModuleFileNameA(nullptr, m_szModulePath, MAX_PATH);
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
    ON_REGISTERED_MESSAGE(WM_TASKBARCREATED, OnTaskbarCreated)
END_MESSAGE_MAP()

BOOL CTandivorexDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    RegisterHandsetHost(this, m_hWnd);

    m_tray.Add(m_hWnd, WM_TRAY_NOTIFY, m_hIcon, "Tandivorex", TRAY_ICON_ID);
    m_tray.ShowStatus(STATUS_NO_DEVICE);

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

void CTandivorexDlg::OnSysCommand(UINT, LPARAM)
{
    Default();
}

LRESULT CTandivorexDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    // Without this the icon, our only report and only way out, would be gone
    // for good after the task bar restarts.
    m_tray.Restore();
    return 0;
}
