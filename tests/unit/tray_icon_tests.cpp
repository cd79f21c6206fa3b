// The tray icon's record against the real shell of the Wine desktop.
#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const UINT WM_TEST_TRAY = WM_USER + 100;

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest()
    {
        m_hWnd = ::CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    }
    ~TrayIconTest() override { ::DestroyWindow(m_hWnd); }

    HWND m_hWnd;
};

TEST_F(TrayIconTest, TipIsAlwaysBoundedAndTerminated)
{
    CTrayIcon tray;
    ASSERT_TRUE(tray.Add(m_hWnd, WM_TEST_TRAY, ::LoadIconA(nullptr, IDI_APPLICATION), "Tandivorex", 128));
    EXPECT_EQ(7u, tray.m_nid.uFlags);
    EXPECT_STREQ("Tandivorex", tray.m_nid.szTip);

    std::string longTip(300, 'x');
    tray.m_nid.dwState = 0x5A5A5A5A; // the field right after the tip
    tray.SetTip(longTip.c_str());
    EXPECT_EQ(127u, std::string(tray.m_nid.szTip).size());
    EXPECT_EQ(0x5A5A5A5Au, tray.m_nid.dwState) << "the copy ran past the tip";
    EXPECT_EQ(static_cast<UINT>(NIF_TIP), tray.m_nid.uFlags);

    tray.SetTip(std::string(127, 'y').c_str());
    EXPECT_EQ(std::string(127, 'y'), tray.m_nid.szTip);
    tray.SetTip(nullptr);
    EXPECT_STREQ("", tray.m_nid.szTip);
}

} // namespace
