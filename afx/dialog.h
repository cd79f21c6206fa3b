#pragma once

#include "message_map.h"
#include "wnd.h"

// A dialog from a template resource, run modally by its own loop, as MFC does,
// so that a posted quit message ends every open modal loop in turn.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    HWND GetOwnerForModal() const;
    void RunModalLoop();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL m_bContinueModal;
    INT_PTR m_nModalResult;
};
