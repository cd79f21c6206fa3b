#include "win_app.h"

namespace {
CWinApp* s_pApp = nullptr;
}

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(lpszAppName)
    , m_hInstance(::GetModuleHandleA(nullptr))
    , m_pMainWnd(nullptr)
{
    s_pApp = this;
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

BOOL CWinApp::Enable3dControls()
{
    return TRUE; // No-op: every supported Windows draws dialogs in 3-D itself.
}

void CWinApp::OnHelp()
{
    // No-op: the program ships no help file for WinHelp to open.
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return s_pApp != nullptr ? s_pApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR)
{
    // Every resource lives in the executable; there are no resource DLLs to search.
    return AfxGetInstanceHandle();
}

void AfxEnableControlContainer()
{
    // No-op: the program hosts no ActiveX controls.
}
