#include "dialog.h"

#include "win_app.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate)
    , m_pParentWnd(pParentWnd)
    , m_bContinueModal(FALSE)
    , m_nModalResult(-1)
{
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal()
{
    LPCSTR lpszTemplate = MAKEINTRESOURCEA(m_nIDTemplate);
    HINSTANCE hInst = AfxFindResourceHandle(lpszTemplate, RT_DIALOG);
    HRSRC hResource = ::FindResourceA(hInst, lpszTemplate, RT_DIALOG);
    HGLOBAL hTemplate = hResource != nullptr ? ::LoadResource(hInst, hResource) : nullptr;
    if (hTemplate == nullptr)
        return -1;
    auto pTemplate = static_cast<LPCDLGTEMPLATEA>(::LockResource(hTemplate));

    // Modal means the owner takes no input while the dialog runs.
    HWND hWndOwner = GetOwnerForModal();
    BOOL bOwnerWasEnabled = hWndOwner != nullptr && ::IsWindowEnabled(hWndOwner);
    if (bOwnerWasEnabled)
        ::EnableWindow(hWndOwner, FALSE);

    m_nModalResult = -1;
    HWND hWnd = ::CreateDialogIndirectParamA(hInst, pTemplate, hWndOwner, &CDialog::DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    if (hWnd != nullptr)
        RunModalLoop();

    if (bOwnerWasEnabled) {
        ::EnableWindow(hWndOwner, TRUE);
        ::SetActiveWindow(hWndOwner);
    }
    if (m_hWnd != nullptr)
        DestroyWindow();
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    // Hides the window now; our loop notices the flag and destroys it.
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT uMsg, WPARAM, LPARAM lParam)
{
    // Everything after WM_INITDIALOG reaches the object through the subclassed
    // window procedure; the dialog manager's defaults stay underneath it.
    if (uMsg != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    pDlg->SubclassWindow(hWnd);
    return pDlg->OnInitDialog();
}

HWND CDialog::GetOwnerForModal() const
{
    if (m_pParentWnd != nullptr)
        return m_pParentWnd->m_hWnd;
    // As in MFC, a dialog without a parent is owned by the main window, unless
    // it is the main window.
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd != nullptr && pApp->m_pMainWnd != this)
        return pApp->m_pMainWnd->m_hWnd;
    return nullptr;
}

void CDialog::RunModalLoop()
{
    // A template without WS_VISIBLE is shown once the queue first runs dry,
    // after the dialog has had its chance to set itself up.
    BOOL bShowIdle = (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_VISIBLE) == 0;
    m_bContinueModal = TRUE;
    while (m_bContinueModal) {
        MSG msg;
        if (bShowIdle && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ShowWindow(SW_SHOWNORMAL);
            ::UpdateWindow(m_hWnd);
            bShowIdle = FALSE;
        }
        if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            // Every modal loop ends on quit; the one outside it must see it too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!::IsDialogMessageA(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}
