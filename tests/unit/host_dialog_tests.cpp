// The host dialog in this process: its window, its end, and callbacks that
// arrive after it has gone.
#include "app/host_dialog.h"

#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <new>

namespace {

HWND FindHost()
{
    return ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
}

struct LateCaller {
    void* pHost;
    int nResultWhileOpen;
};

// Plays the library's thread: one event while the host runs, then ends it.
DWORD WINAPI CallThenCancel(LPVOID pParam)
{
    auto pCaller = static_cast<LateCaller*>(pParam);
    // The host registers itself during its initialisation; until then the
    // callback drops events, so keep calling until one is posted.
    WaitFor([&] { return (pCaller->nResultWhileOpen = HandsetCallback(11, 0x85, pCaller->pHost)) != 0; },
            10000);
    ::PostMessageA(FindHost(), WM_COMMAND, IDCANCEL, 0);
    return 0;
}

TEST(HostDialog, LateCallbacksNeverTouchTheHost)
{
    // The host lives in a page of its own, so that once it is gone the page
    // can be made unreadable: a callback that looked at it would crash here.
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    ASSERT_LE(sizeof(CTandivorexDlg), si.dwPageSize);
    void* pPage = ::VirtualAlloc(nullptr, si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, pPage);
    auto pHost = new (pPage) CTandivorexDlg;

    LateCaller caller = {pHost, 0};
    HANDLE hThread = ::CreateThread(nullptr, 0, CallThenCancel, &caller, 0, nullptr);
    EXPECT_EQ(IDCANCEL, pHost->DoModal());
    ::WaitForSingleObject(hThread, 10000);
    ::CloseHandle(hThread);
    EXPECT_NE(0, caller.nResultWhileOpen) << "an event while the host runs is posted";

    // Window gone, object still there.
    EXPECT_EQ(nullptr, FindHost());
    EXPECT_EQ(0, HandsetCallback(11, 0x85, pHost));

    // Object gone too.
    pHost->~CTandivorexDlg();
    DWORD dwOld = 0;
    ASSERT_TRUE(::VirtualProtect(pPage, si.dwPageSize, PAGE_NOACCESS, &dwOld));
    EXPECT_EQ(0, HandsetCallback(11, 0x85, pHost));
    EXPECT_EQ(0, HandsetCallback(-1, 0, pHost));
    ::VirtualFree(pPage, 0, MEM_RELEASE);
}

DWORD WINAPI PostCommandToHost(LPVOID pParam)
{
    HWND hWnd = nullptr;
    WaitFor([&] { return (hWnd = FindHost()) != nullptr; }, 10000);
    ::PostMessageA(hWnd, WM_COMMAND, static_cast<WPARAM>(reinterpret_cast<INT_PTR>(pParam)), 0);
    return 0;
}

DWORD WINAPI PostQuitToThread(LPVOID pParam)
{
    WaitFor([] { return FindHost() != nullptr; }, 10000);
    ::PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(pParam)), WM_QUIT, 7, 0);
    return 0;
}

TEST(HostDialog, OkAndCancelEndTheModalLoop)
{
    for (WPARAM id : {IDOK, IDCANCEL}) {
        CTandivorexDlg dlg;
        HANDLE hThread = ::CreateThread(nullptr, 0, PostCommandToHost,
                                        reinterpret_cast<LPVOID>(static_cast<INT_PTR>(id)), 0, nullptr);
        EXPECT_EQ(static_cast<INT_PTR>(id), dlg.DoModal());
        ::WaitForSingleObject(hThread, 10000);
        ::CloseHandle(hThread);
        EXPECT_EQ(nullptr, FindHost());
    }
}

TEST(HostDialog, QuitMessageEndsTheLoopAndIsLeftForTheOuterLoop)
{
    CTandivorexDlg dlg;
    DWORD dwThread = ::GetCurrentThreadId();
    HANDLE hThread = ::CreateThread(nullptr, 0, PostQuitToThread,
                                    reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(dwThread)), 0, nullptr);
    EXPECT_EQ(-1, dlg.DoModal());
    ::WaitForSingleObject(hThread, 10000);
    ::CloseHandle(hThread);
    EXPECT_EQ(nullptr, FindHost());

    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
}

} // namespace
