// The tray menu's commands and the auto-start value, in a running host, against
// the real registry of the test prefix.
#include "host_thread.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"
#include "tests/support/message_recorder.h"
#include "tray/registry_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char VALUE[] = "Tandivorex";

// The Run key as another program would see it, outside the code under test.
struct RunValue {
    bool exists;
    DWORD type;
    std::vector<BYTE> data;
};

RunValue ReadRunValue()
{
    RunValue value = {false, 0, {}};
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return value;
    DWORD cb = 0;
    if (::RegQueryValueExA(hKey, VALUE, nullptr, &value.type, nullptr, &cb) == ERROR_SUCCESS) {
        value.exists = true;
        value.data.resize(cb);
        ::RegQueryValueExA(hKey, VALUE, nullptr, &value.type, value.data.data(), &cb);
    }
    ::RegCloseKey(hKey);
    return value;
}

void SetRunValue(DWORD dwType, const void* pData, DWORD cb)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &hKey, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(hKey, VALUE, 0, dwType, static_cast<const BYTE*>(pData), cb));
    ::RegCloseKey(hKey);
}

void DeleteRunValue()
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        ::RegDeleteValueA(hKey, VALUE);
        ::RegCloseKey(hKey);
    }
}

bool Checked(CHostThread& host)
{
    return (::GetMenuState(host.Dlg().m_hMenu, ID_TRAY_AUTORUN, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void ToggleAutoRun(CHostThread& host)
{
    ::SendMessageA(host.Window(), WM_COMMAND, ID_TRAY_AUTORUN, 0);
}

// What "on" must store: the quoted path, zero-padded to 260 bytes of REG_SZ.
std::vector<BYTE> ExpectedCommand(const char* pszPath)
{
    std::string quoted = std::string("\"") + pszPath + "\"";
    std::vector<BYTE> data(MAX_PATH, 0);
    std::copy(quoted.begin(), quoted.end(), data.begin());
    return data;
}

class TrayMenuTest : public ::testing::Test {
protected:
    TrayMenuTest()
    {
        FakeHandsetReset(0);
        DeleteRunValue();
    }
    ~TrayMenuTest() override { DeleteRunValue(); }
};

TEST_F(TrayMenuTest, StartUpReadsAnyValueThatStartsWithANonzeroByte)
{
    std::string longPath = "C:\\" + std::string(400, 'p') + ".exe";
    const BYTE zeroFirst[300] = {0, 'x'};
    const DWORD one = 1;
    const struct {
        const char* what;
        DWORD type;
        const void* data;
        DWORD cb;
        bool on;
    } cases[] = {
        {"absent", 0, nullptr, 0, false},
        {"empty string", REG_SZ, "", 1, false},
        {"no data at all", REG_BINARY, "", 0, false},
        {"another program's path", REG_SZ, "C:\\other\\program.exe", 21, true},
        {"a DWORD 1", REG_DWORD, &one, sizeof one, true},
        {"binary starting with 0", REG_BINARY, zeroFirst, sizeof zeroFirst, false},
        // Longer than the path buffer: read whole, judged by its first byte.
        {"longer than 260 bytes", REG_SZ, longPath.c_str(), static_cast<DWORD>(longPath.size() + 1), true},
        {"longer, starting with 0", REG_BINARY, zeroFirst, sizeof zeroFirst, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteRunValue();
        if (c.data != nullptr)
            SetRunValue(c.type, c.data, c.cb);
        CHostThread host;
        EXPECT_EQ(c.on ? 1 : 0, host.Dlg().m_bAutoRun);
        EXPECT_EQ(c.on, Checked(host));
        RunValue after = ReadRunValue();
        EXPECT_EQ(c.data != nullptr, after.exists) << "start-up only reads";
    }
}

TEST_F(TrayMenuTest, TogglingFromOffStoresTheQuotedPathThenDeletesIt)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    CHostThread host;
    ASSERT_FALSE(Checked(host));

    ToggleAutoRun(host);
    EXPECT_TRUE(Checked(host));
    RunValue value = ReadRunValue();
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ(ExpectedCommand(szExe), value.data);

    ToggleAutoRun(host);
    EXPECT_FALSE(Checked(host));
    EXPECT_FALSE(ReadRunValue().exists);
}

TEST_F(TrayMenuTest, TogglingFromOnDeletesThenStoresOurOwnPath)
{
    SetRunValue(REG_SZ, "C:\\other.exe", 13);
    CHostThread host;
    ASSERT_TRUE(Checked(host));

    ToggleAutoRun(host);
    EXPECT_FALSE(Checked(host));
    EXPECT_FALSE(ReadRunValue().exists);

    ToggleAutoRun(host);
    EXPECT_TRUE(Checked(host));
    EXPECT_EQ(ExpectedCommand(host.Dlg().m_szModulePath), ReadRunValue().data);
}

TEST_F(TrayMenuTest, APathThatCannotBeStoredWholeIsNotStoredAtAll)
{
    CHostThread host;
    // 258 characters fit the buffer but not with their quotes; an empty path
    // is what the host keeps when the module path was cut short.
    for (size_t nLength : {258u, 0u}) {
        SCOPED_TRACE(nLength);
        std::string path = nLength ? "C:\\" + std::string(nLength - 3, 'd') : std::string();
        ::SendMessageA(host.Window(), WM_NULL, 0, 0);
        lstrcpynA(host.Dlg().m_szModulePath, path.c_str(), MAX_PATH);
        ToggleAutoRun(host);
        EXPECT_TRUE(Checked(host)) << "the mark changes even when nothing is written";
        EXPECT_FALSE(ReadRunValue().exists);
        ToggleAutoRun(host);
        EXPECT_FALSE(Checked(host));
    }
    // 257 characters and their quotes fill the buffer exactly, terminator included.
    std::string path = "C:\\" + std::string(254, 'e');
    lstrcpynA(host.Dlg().m_szModulePath, path.c_str(), MAX_PATH);
    ToggleAutoRun(host);
    EXPECT_EQ(ExpectedCommand(path.c_str()), ReadRunValue().data);
}

TEST_F(TrayMenuTest, NotificationsForOtherIconsOrButtonsOpenNothing)
{
    CHostThread host;
    EXPECT_EQ(-1, ::SendMessageA(host.Window(), WM_USER + 100, 127, WM_RBUTTONDOWN));
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MOUSEMOVE})
        EXPECT_EQ(1, ::SendMessageA(host.Window(), WM_USER + 100, 128, mouse)) << mouse;
    // A menu being tracked would show as a visible popup-menu window.
    HWND hMenuWnd = ::FindWindowA("#32768", nullptr);
    EXPECT_TRUE(hMenuWnd == nullptr || !::IsWindowVisible(hMenuWnd));
}

TEST_F(TrayMenuTest, ExitClosesTheLibraryAndEndsTheLoop)
{
    CHostThread host;
    ::SendMessageA(host.Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(-1, host.Join()) << "ended by the quit message";
    EXPECT_EQ(1u, FakeHandsetCount(QV_CODE_CLOSE)) << "closed although it was never open";
}

TEST_F(TrayMenuTest, AboutBoxFromTheMenuOrTheSystemCommandKeepsTheHostWorking)
{
    FakeHandsetReset(1);
    CMessageRecorder phone("AfxFrameOrView42", "k7340 Software Phone");
    CHostThread host;
    const struct {
        UINT message;
        WPARAM wParam;
    } openers[] = {{WM_COMMAND, ID_TRAY_ABOUT}, {WM_SYSCOMMAND, 0x0010}, {WM_SYSCOMMAND, 0x001F}};
    for (const auto& opener : openers) {
        SCOPED_TRACE(opener.wParam);
        ::PostMessageA(host.Window(), opener.message, opener.wParam, 0);
        HWND hAbout = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            hAbout = ::FindWindowA(nullptr, "About Tandivorex");
            return hAbout != nullptr && ::IsWindowVisible(hAbout);
        }, 5000));

        // The box's loop still runs the host: a handset key reaches the phone.
        ASSERT_TRUE(WaitFor([&] { return host.Dlg().m_bridge.m_hTarget == phone.Window(); }, 3500));
        HandsetCallback(11, 0x89, &host.Dlg());
        ASSERT_TRUE(WaitFor([&] {
            phone.Flush();
            return !phone.Take().empty();
        }, 3000));

        ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([] { return ::FindWindowA(nullptr, "About Tandivorex") == nullptr; }, 5000));
    }
}

} // namespace
