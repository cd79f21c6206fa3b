// The tray icon against a stand-in for the shell's tray window, and against
// the real one where the shell's own answer is what counts.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // RegSetKeyValue and friends
#include "host_thread.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"
#include "tests/support/fake_tray.h"
#include "tests/support/known_values.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest()
    {
        m_hWnd = ::CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~TrayIconTest() override { ::DestroyWindow(m_hWnd); }

    HWND m_hWnd;
};

TEST_F(TrayIconTest, TipIsAlwaysBoundedAndTerminated)
{
    CTrayIcon tray;
    std::string longTip(300, 'x');
    tray.m_nid.dwState = 0x5A5A5A5A; // the field right after the tip
    tray.Add(m_hWnd, WM_TRAY_NOTIFY, ::LoadIconA(nullptr, IDI_APPLICATION), longTip.c_str(), TRAY_ICON_ID);
    EXPECT_EQ(std::string(127, 'x'), tray.m_nid.szTip);
    EXPECT_EQ(0x5A5A5A5Au, tray.m_nid.dwState) << "the copy ran past the tip";
    tray.ShowStatus({IDI_NO_PHONE, nullptr});
    EXPECT_STREQ("", tray.m_nid.szTip);
}

// Setting the status it shows changes nothing on screen, so it calls nothing;
// every change does reach the tray.
TEST_F(TrayIconTest, OnlyChangesReachTheShell)
{
    CFakeTray shell(0);
    CTrayIcon tray;
    tray.Add(m_hWnd, WM_TRAY_NOTIFY, ::LoadIconA(nullptr, IDI_APPLICATION), "Tandivorex", TRAY_ICON_ID);
    for (const TrayStatus* pStatus : {&STATUS_NO_DEVICE, &STATUS_NO_DEVICE, &STATUS_NO_PHONE, &STATUS_NO_PHONE,
                                      &STATUS_CONNECTED, &STATUS_NO_DEVICE}) {
        tray.ShowStatus(*pStatus);
        tray.Refresh();
    }
    std::vector<ShellCall> taken = shell.Taken();
    const struct { DWORD message; std::string tip; } expected[] = {{NIM_ADD, "Tandivorex"},
                                  {NIM_MODIFY, STATUS_NO_DEVICE.pszTip},
                                  {NIM_MODIFY, STATUS_NO_PHONE.pszTip},
                                  {NIM_MODIFY, STATUS_CONNECTED.pszTip},
                                  {NIM_MODIFY, STATUS_NO_DEVICE.pszTip}};
    ASSERT_EQ(5u, taken.size());
    for (size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(expected[i].message, taken[i].message) << i;
        EXPECT_EQ(expected[i].tip, taken[i].tip) << i;
    }
    EXPECT_EQ(LoadTrayPicture(IDI_NO_DEVICE), tray.m_nid.hIcon);
}

// At logon the shell may refuse the first calls of a program started from
// the Run key: the host retries on its ticks until the icon is there with
// the status it has reached meanwhile.
TEST_F(TrayIconTest, ARefusingShellEndsWithTheIconShowingTheCurrentStatus)
{
    // Refused until after the host has found the softphone (each refused
    // attempt is an add and a change, to find an add that timed out).
    CFakeTray shell(12);
    FakeHandsetReset(1);
    CMessageRecorder phone(known::PHONE_CLASS, known::PHONE_TITLE);
    CHostThread host;
    for (int i = 0; i < 8 && shell.Taken().empty(); ++i)
        host.TickBoth();
    ASSERT_FALSE(shell.Taken().empty()) << shell.m_nRefused << " refused";
    host.TickBoth();
    host.TickBoth();
    std::vector<ShellCall> taken = shell.Taken();
    ASSERT_EQ(1u, taken.size()) << "once there, a steady status calls nothing";
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), taken[0].message);
    EXPECT_STREQ(STATUS_CONNECTED.pszTip, taken[0].tip.c_str());
    EXPECT_EQ(LoadTrayPicture(IDR_MAINFRAME), host.Dlg().m_tray.m_nid.hIcon);
}

// Does the shell still know the host's icon? Modifying an unknown one fails.
bool TrayHasIcon(HWND hWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = hWnd;
    nid.uID = TRAY_ICON_ID;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

TEST(TrayIconInTheHost, TaskbarRestartBringsTheIconBackWithItsStatus)
{
    FakeHandsetReset(0);
    CHostThread host;
    host.Sync();
    ASSERT_TRUE(TrayHasIcon(host.Window()));

    // As if Explorer had restarted: the shell no longer knows the icon.
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = host.Window();
    nid.uID = TRAY_ICON_ID;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &nid));
    ASSERT_FALSE(TrayHasIcon(host.Window()));

    DWORD_PTR dwResult = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                          SMTO_ABORTIFHUNG, 5000, &dwResult);
    host.Sync();
    EXPECT_TRUE(TrayHasIcon(host.Window()));
    EXPECT_EQ(LoadTrayPicture(IDI_NO_DEVICE), host.Dlg().m_tray.m_nid.hIcon);
    EXPECT_STREQ(STATUS_NO_DEVICE.pszTip, host.Dlg().m_tray.m_nid.szTip);
}

// The pixels of an icon as drawn at its own size, colour then mask.
std::vector<DWORD> Pixels(HICON hIcon, int nSize)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), nSize, -nSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(2 * nSize * nSize);
    ICONINFO info = {};
    ::GetIconInfo(hIcon, &info);
    HDC hdc = ::GetDC(nullptr);
    if (info.hbmColor != nullptr)
        ::GetDIBits(hdc, info.hbmColor, 0, nSize, pixels.data(), &bmi, DIB_RGB_COLORS);
    ::GetDIBits(hdc, info.hbmMask, 0, nSize, pixels.data() + nSize * nSize, &bmi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, hdc);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return pixels;
}

// At 150 % (LogPixels 144) the tray asks for 24-pixel pictures: each status
// is its own 24-pixel frame, not a 16- or 32-pixel one stretched. The system
// DPI is read at process start, so a second run of these tests checks it.
TEST(TrayPicture, IsTheNativeFrameOfTheSizeTheTrayAsksFor)
{
    char szChild[8] = {};
    if (::GetEnvironmentVariableA("TANDIVOREX_DPI_CHILD", szChild, sizeof szChild) == 0) {
        const char DESKTOP_KEY[] = "Control Panel\\Desktop";
        DWORD dpi = 144;
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, DESKTOP_KEY, "LogPixels", REG_DWORD, &dpi, sizeof dpi));
        ::SetEnvironmentVariableA("TANDIVOREX_DPI_CHILD", "1");
        std::string out;
        DWORD dwCode = RunAndCapture("unit_tests.exe", "--gtest_filter=TrayPicture.*", &out, 30000);
        ::SetEnvironmentVariableA("TANDIVOREX_DPI_CHILD", nullptr);
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, DESKTOP_KEY, "LogPixels");
        EXPECT_EQ(0u, dwCode) << out;
        EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
        return;
    }
    ::SetProcessDPIAware();
    ASSERT_EQ(24, ::GetSystemMetrics(SM_CXSMICON));
    HMODULE hModule = ::GetModuleHandleA(nullptr);
    for (UINT nId : {IDI_NO_DEVICE, IDI_NO_PHONE, IDR_MAINFRAME}) {
        SCOPED_TRACE(nId);
        HRSRC hGroup = ::FindResourceA(hModule, MAKEINTRESOURCEA(nId), RT_GROUP_ICON);
        auto pDir = static_cast<PBYTE>(::LockResource(::LoadResource(hModule, hGroup)));
        int nFrame = ::LookupIconIdFromDirectoryEx(pDir, TRUE, 24, 24, LR_DEFAULTCOLOR);
        // The group's entries (14 bytes each, after 6) give each frame's width.
        int nWidth = 0;
        for (WORD i = 0; i < *reinterpret_cast<WORD*>(pDir + 4); ++i) {
            const BYTE* pEntry = pDir + 6 + 14 * i;
            if (*reinterpret_cast<const WORD*>(pEntry + 12) == nFrame)
                nWidth = pEntry[0];
        }
        ASSERT_EQ(24, nWidth) << "no 24-pixel frame";
        HRSRC hFrame = ::FindResourceA(hModule, MAKEINTRESOURCEA(nFrame), RT_ICON);
        auto pFrame = static_cast<PBYTE>(::LockResource(::LoadResource(hModule, hFrame)));
        HICON hNative = ::CreateIconFromResourceEx(pFrame, ::SizeofResource(hModule, hFrame), TRUE, 0x00030000, 24, 24, 0);
        EXPECT_EQ(Pixels(hNative, 24), Pixels(LoadTrayPicture(nId), 24));
        ::DestroyIcon(hNative);
    }
}

} // namespace
