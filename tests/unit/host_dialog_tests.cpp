// The host dialog's own end: the ways its modal loop ends, and what each
// takes with it.
#include "app/host_dialog.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"

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
    if (pMsg->message == WM_QUIT)
        ::PostThreadMessageA(static_cast<DWORD>(pMsg->lParam), WM_QUIT, pMsg->wParam, 0);
    else
        ::PostMessageA(FindHost(), pMsg->message, pMsg->wParam, 0);
    return 0;
}

// OK and Cancel end the loop and take the icon with the window, but leave the
// library open (only Exit closes it); a quit message ends the loop too, and
// stays queued for the loop outside.
TEST(HostDialog, OkCancelAndQuitEndTheModalLoop)
{
    const struct { UINT message; WPARAM wParam; INT_PTR result; } ends[] = {
        {WM_COMMAND, IDOK, IDOK}, {WM_COMMAND, IDCANCEL, IDCANCEL}, {WM_QUIT, 7, -1}};
    for (const auto& end : ends) {
        SCOPED_TRACE(end.wParam);
        FakeHandsetReset(1);
        MSG msg = {};
        msg.message = end.message;
        msg.wParam = end.wParam;
        msg.lParam = static_cast<LPARAM>(::GetCurrentThreadId());
        HANDLE hThread = ::CreateThread(nullptr, 0, PostToHost, &msg, 0, nullptr);
        NOTIFYICONDATAA nid = {};
        {
            CTandivorexDlg dlg;
            EXPECT_EQ(end.result, dlg.DoModal());
            nid = dlg.m_tray.m_nid;
        }
        ::WaitForSingleObject(hThread, 10000);
        ::CloseHandle(hThread);
        EXPECT_EQ(nullptr, FindHost());
        EXPECT_FALSE(::Shell_NotifyIconA(NIM_MODIFY, &nid)) << "the icon outlived the host";
        EXPECT_EQ(0u, FakeHandsetCount(QV_CODE_CLOSE));
        msg.wParam = 0;
        EXPECT_EQ(end.message == WM_QUIT, ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE);
        EXPECT_EQ(end.message == WM_QUIT ? 7u : 0u, msg.wParam) << "the quit message's own code";
    }
}

} // namespace
