#include "win_app.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return 1;
    pApp->m_hInstance = hInstance;
    // The manifest asks for version 6 of the common controls; Windows XP finds
    // their Button and Static classes, which every dialog of ours uses, only
    // once comctl32 is loaded.
    ::InitCommonControls();
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
