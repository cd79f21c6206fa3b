// Message maps. Each map expands to one ProcessWindowMessage function: an
// if-chain that calls the handler of the first matching entry and otherwise
// asks the base class. The comment above each entry macro gives the handler's
// prototype.
#pragma once

#include <windows.h>

#define DECLARE_MESSAGE_MAP()                                                                  \
public:                                                                                        \
    BOOL ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                 \
    BOOL theClass::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) \
    {                                                                                          \
        typedef baseClass TheBaseClass;

#define END_MESSAGE_MAP()                                                                      \
        return TheBaseClass::ProcessWindowMessage(uMsg, wParam, lParam, lResult);             \
    }

// void OnPaint()
#define ON_WM_PAINT()                                                                          \
    if (uMsg == WM_PAINT) {                                                                    \
        OnPaint();                                                                             \
        lResult = 0;                                                                           \
        return TRUE;                                                                           \
    }

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER()                                                                          \
    if (uMsg == WM_TIMER) {                                                                    \
        OnTimer(static_cast<UINT_PTR>(wParam));                                                \
        lResult = 0;                                                                           \
        return TRUE;                                                                           \
    }

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                                     \
    if (uMsg == WM_SYSCOMMAND) {                                                               \
        OnSysCommand(static_cast<UINT>(wParam), lParam);                                       \
        lResult = 0;                                                                           \
        return TRUE;                                                                           \
    }

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                                  \
    if (uMsg == WM_QUERYDRAGICON) {                                                            \
        lResult = reinterpret_cast<LRESULT>(OnQueryDragIcon());                                \
        return TRUE;                                                                           \
    }

// LRESULT OnXxx(WPARAM wParam, LPARAM lParam)
#define ON_MESSAGE(message, memberFxn)                                                         \
    if (uMsg == (message)) {                                                                   \
        lResult = memberFxn(wParam, lParam);                                                   \
        return TRUE;                                                                           \
    }

// LRESULT OnXxx(WPARAM wParam, LPARAM lParam), for a RegisterWindowMessage
// number, which cannot be a constant. A failed registration (0) matches nothing.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                     \
    if ((nMessageVariable) != 0 && uMsg == (nMessageVariable)) {                               \
        lResult = memberFxn(wParam, lParam);                                                   \
        return TRUE;                                                                           \
    }

// void OnXxx(), for a menu item, an accelerator or a button click.
#define ON_COMMAND(id, memberFxn)                                                              \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) <= 1) {                 \
        memberFxn();                                                                           \
        lResult = 0;                                                                           \
        return TRUE;                                                                           \
    }
