#pragma once

#include "cmd_target.h"

// A C++ object attached to a window by subclassing it: its map sees every
// message first; what the map leaves goes to the window's original procedure.
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd;

    BOOL ShowWindow(int nCmdShow);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL DestroyWindow();
    void CenterWindow();

    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

protected:
    BOOL SubclassWindow(HWND hWnd);
    // Passes the message being handled to the window's original procedure.
    LRESULT Default();

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Detach();

    WNDPROC m_pfnSuper;
    MSG m_currentMsg;
};
