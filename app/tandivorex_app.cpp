#include "tandivorex_app.h"

#include "app/host_dialog.h"

namespace {

// Held for the life of the process. The caption test alone races: two copies
// started together both find no window and both open the handset. The name is
// per session ("Local\"), as the caption test is per desktop.
const char SINGLE_COPY_MUTEX[] = "Local\\Tandivorex.SingleCopy";

BOOL AnotherCopyRuns()
{
    HANDLE hMutex = ::CreateMutexA(nullptr, FALSE, SINGLE_COPY_MUTEX);
    BOOL bExisted = hMutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS;
    // The handle is deliberately never closed: the name lives as long as we do.
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
