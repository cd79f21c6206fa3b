// Tandivorex.exe as a process: hidden after its first paint, one copy only.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

namespace {

const char HOST_CAPTION[] = "*Tandivorex";
const char SINGLE_COPY_MUTEX[] = "Local\\Tandivorex.SingleCopy";

HWND HostOf(const CChildProcess& child)
{
    for (HWND hWnd = ::FindWindowA(nullptr, HOST_CAPTION); hWnd != nullptr;
         hWnd = ::FindWindowExA(nullptr, hWnd, nullptr, HOST_CAPTION)) {
        DWORD dwPid = 0;
        ::GetWindowThreadProcessId(hWnd, &dwPid);
        if (dwPid == child.Id())
            return hWnd;
    }
    return nullptr;
}

// It starts too when its single-copy name is held by another kind of object,
// which is not another copy of it.
TEST(HostProcess, HidesOnItsFirstPaintAndEndsOnCancel)
{
    for (bool bNameTaken : {false, true}) {
        SCOPED_TRACE(bNameTaken ? "the name taken by an event" : "a free name");
        ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_CAPTION)) << "a copy is already running";
        HANDLE hEvent = bNameTaken ? ::CreateEventA(nullptr, FALSE, FALSE, SINGLE_COPY_MUTEX) : nullptr;
        CChildProcess program;
        ASSERT_TRUE(program.Start("Tandivorex.exe"));
        HWND hWnd = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hWnd = HostOf(program)) != nullptr; }, 15000));
        EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(hWnd); }, 5000));
        ::Sleep(1500);
        EXPECT_FALSE(::IsWindowVisible(hWnd));

        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(program.Wait(10000));
        EXPECT_EQ(0u, program.ExitCode());
        if (hEvent != nullptr)
            ::CloseHandle(hEvent);
    }
}

// Each guard alone keeps a second copy out: the name held with no window
// about (two copies started together both find no window), and a window with
// the caption with no name held.
TEST(HostProcess, EitherGuardAloneKeepsASecondCopyOut)
{
    for (bool bByMutex : {true, false}) {
        SCOPED_TRACE(bByMutex ? "the name is held" : "the caption is there");
        ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_CAPTION)) << "a copy is already running";
        HANDLE hMutex = bByMutex ? ::CreateMutexA(nullptr, FALSE, SINGLE_COPY_MUTEX) : nullptr;
        HWND hFirst = bByMutex ? nullptr
                               : ::CreateWindowExA(0, "STATIC", HOST_CAPTION, WS_POPUP, 0, 0, 10, 10, nullptr,
                                                   nullptr, nullptr, nullptr);
        CChildProcess second;
        ASSERT_TRUE(second.Start("Tandivorex.exe"));
        EXPECT_TRUE(second.Wait(10000)) << "the second copy must exit by itself";
        EXPECT_EQ(0u, second.ExitCode());
        if (hMutex != nullptr)
            ::CloseHandle(hMutex);
        if (hFirst != nullptr)
            ::DestroyWindow(hFirst);
    }
}

} // namespace
