#include "tandivorex_app.h"

#include "app/host_dialog.h"

namespace {

// Held for the life of the process. The caption test alone races: two copies
// started together both find no window and both open the handset. The name is
// per session ("Local\"), as the caption test is per desktop.
const char SINGLE_COPY_MUTEX[] = "Local\\Tandivorex.SingleCopy";

// Deliberately never closed: the name lives as long as we do.
HANDLE s_hSingleCopy = nullptr;

BOOL AnotherCopyRuns()
{
    s_hSingleCopy = ::CreateMutexA(nullptr, FALSE, SINGLE_COPY_MUTEX);
    // Only "already exists" means another copy. Any other failure (the name
    // held by another kind of object, say) must not keep the program from
    // ever starting: then the caption test alone decides.
    BOOL bExisted = s_hSingleCopy != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
    return bExisted || ::FindWindowA(nullptr, HOST_WINDOW_CAPTION) != nullptr;
}

} // namespace

CTandivorexApp theApp;

CTandivorexApp::CTandivorexApp()
    : CWinApp(nullptr)
{
}

BEGIN_MESSAGE_MAP(CTandivorexApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CTandivorexApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    if (AnotherCopyRuns())
        return FALSE;

    CTandivorexDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // Leaving this scope destroys the host, which takes the tray icon with it.
    m_pMainWnd = nullptr;
    return FALSE;
}
