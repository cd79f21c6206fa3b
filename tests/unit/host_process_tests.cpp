// Tandivorex.exe as a process: hidden after its first paint, one copy only.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const char HOST_CAPTION[] = "*Tandivorex";

BOOL CALLBACK CollectHostWindow(HWND hWnd, LPARAM lParam)
{
    char sz[64] = {};
    ::GetWindowTextA(hWnd, sz, sizeof sz);
    if (lstrcmpA(sz, HOST_CAPTION) == 0)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

std::vector<HWND> HostWindows()
{
    std::vector<HWND> found;
    ::EnumWindows(CollectHostWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

DWORD WindowProcessId(HWND hWnd)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid;
}

class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(HostWindows().empty()) << "a copy is already running"; }
    void TearDown() override
    {
        for (HWND hWnd : HostWindows())
            ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        WaitFor([] { return HostWindows().empty(); }, 5000);
    }

    // Starts the program and waits for its host window to exist and hide.
    HWND StartFirst()
    {
        EXPECT_TRUE(m_first.Start("Tandivorex.exe"));
        HWND hWnd = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (hWnd = ::FindWindowA(nullptr, HOST_CAPTION)) != nullptr; }, 15000));
        return hWnd;
    }

    CChildProcess m_first;
};

TEST_F(HostProcessTest, HostWindowHidesOnItsFirstPaintAndStaysHidden)
{
    HWND hWnd = StartFirst();
    ASSERT_NE(nullptr, hWnd);
    EXPECT_EQ(m_first.Id(), WindowProcessId(hWnd));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(hWnd); }, 5000));
    ::Sleep(1500);
    EXPECT_FALSE(::IsWindowVisible(hWnd));
    EXPECT_TRUE(m_first.IsRunning());
}

TEST_F(HostProcessTest, CancelEndsTheProgram)
{
    HWND hWnd = StartFirst();
    ASSERT_NE(nullptr, hWnd);
    ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(m_first.Wait(10000));
    EXPECT_EQ(0u, m_first.ExitCode());
}

TEST_F(HostProcessTest, SecondCopyExitsAtOnceAndLeavesTheFirstAlone)
{
    HWND hWnd = StartFirst();
    ASSERT_NE(nullptr, hWnd);

    CChildProcess second;
    ASSERT_TRUE(second.Start("Tandivorex.exe"));
    EXPECT_TRUE(second.Wait(10000)) << "the second copy must exit by itself";
    EXPECT_EQ(0u, second.ExitCode());

    std::vector<HWND> windows = HostWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ(hWnd, windows[0]);
    EXPECT_TRUE(m_first.IsRunning());
}

TEST_F(HostProcessTest, CopiesStartedTogetherLeaveExactlyOneRunning)
{
    const int nCopies = 4;
    CChildProcess copies[nCopies];
    for (CChildProcess& copy : copies)
        ASSERT_TRUE(copy.Start("Tandivorex.exe"));

    // All but one end by themselves.
    auto running = [&] {
        int n = 0;
        for (CChildProcess& copy : copies)
            n += copy.IsRunning() ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return running() == 1 && HostWindows().size() == 1; }, 15000));
    ::Sleep(1000);
    EXPECT_EQ(1, running());
    std::vector<HWND> windows = HostWindows();
    ASSERT_EQ(1u, windows.size());
    DWORD dwOwner = WindowProcessId(windows[0]);
    for (CChildProcess& copy : copies) {
        if (copy.IsRunning()) {
            EXPECT_EQ(copy.Id(), dwOwner);
        }
    }
}

} // namespace
