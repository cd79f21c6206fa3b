// The host dialog's own end: the ways its modal loop ends, and what each
// takes with it.
#include "app/host_dialog.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"
#include "tests/support/fake_tray.h"
#include "tests/support/known_values.h"

#include <gtest/gtest.h>

namespace {

HWND FindHost()
{
    return ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
}

DWORD WINAPI PostToHost(LPVOID pParam)
{
    auto pMsg = static_cast<MSG*>(pParam);
    WaitFor([] { return FindHost() != nullptr; }, 10000);
    pMsg->hwnd = FindHost();
    if (pMsg->message == WM_QUIT)
        ::PostThreadMessageA(static_cast<DWORD>(pMsg->lParam), WM_QUIT, pMsg->wParam, 0);
    else
        ::PostMessageA(pMsg->hwnd, pMsg->message, pMsg->wParam, 0);
    return 0;
}

// Every way out ends the loop and takes the icon with the window: left in
// the tray, an icon stays there on Windows as a ghost until the mouse passes
// over it. Only Exit closes the library; a quit message, Exit's too, stays
// queued for the loop outside. The calls are recorded by a stand-in for the
// tray, since Wine's own tray drops a destroyed window's icon by itself.
TEST(HostDialog, EveryWayOutEndsTheModalLoopAndRemovesTheIcon)
{
    const struct { UINT message; WPARAM wParam; INT_PTR result; size_t nCloses; } ends[] = {
        {WM_COMMAND, IDOK, IDOK, 0}, {WM_COMMAND, IDCANCEL, IDCANCEL, 0}, {WM_QUIT, 7, -1, 0},
        {WM_COMMAND, ID_TRAY_EXIT, -1, 1}};
    for (const auto& end : ends) {
        SCOPED_TRACE(end.wParam);
        FakeHandsetReset(1);
        CFakeTray shell(0);
        MSG msg = {};
        msg.message = end.message;
        msg.wParam = end.wParam;
        msg.lParam = static_cast<LPARAM>(::GetCurrentThreadId());
        HANDLE hThread = ::CreateThread(nullptr, 0, PostToHost, &msg, 0, nullptr);
        {
            CTandivorexDlg dlg;
            EXPECT_EQ(end.result, dlg.DoModal());
        }
        ::WaitForSingleObject(hThread, 10000);
        ::CloseHandle(hThread);
        EXPECT_EQ(nullptr, FindHost());
        std::vector<ShellCall> calls = shell.Taken();
        ShellCall last = calls.empty() ? ShellCall{} : calls.back();
        EXPECT_LT(1u, calls.size()) << "the icon was added, then removed";
        EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), last.message) << "the icon outlived the host";
        EXPECT_EQ(msg.hwnd, last.hWnd);
        EXPECT_EQ(known::TRAY_ID, last.uID);
        EXPECT_EQ(end.nCloses, FakeHandsetCount(QV_CODE_CLOSE));
        msg.wParam = 0;
        EXPECT_EQ(end.result == -1, ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE);
        EXPECT_EQ(end.message == WM_QUIT ? 7u : 0u, msg.wParam) << "the quit message's own code";
    }
}

} // namespace
