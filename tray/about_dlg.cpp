#include "about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUTBOX)
{
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Its owner is the hidden host at the corner of the screen; a box shown
    // there would look misplaced.
    CenterWindow();
    return TRUE;
}
