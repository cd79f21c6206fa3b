#pragma once

#include "cmd_target.h"

class CWnd;

// The one application object. WinMain runs its InitInstance; a FALSE result
// ends the process without entering the application's own message loop.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();

    BOOL Enable3dControls();
    void OnHelp();

    LPCSTR m_pszAppName;
    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
void AfxEnableControlContainer();
