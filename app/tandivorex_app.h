#pragma once

#include "afx/afxwin.h"

class CTandivorexApp : public CWinApp {
public:
    CTandivorexApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
