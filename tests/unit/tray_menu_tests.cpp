// The tray menu's commands and the auto-start value, in a running host, against
// the real registry of the test prefix.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // RegGetValue and friends, for reading from outside
#include "host_thread.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"
#include "tests/support/known_values.h"
#include "tests/support/message_recorder.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char VALUE[] = "Tandivorex";

// The Run value as another program sees it, outside the code under test:
// type and data, or an empty string when there is none.
std::string ReadRunValue(DWORD* pType = nullptr)
{
    std::string data;
    DWORD cb = 0;
    if (::RegGetValueA(HKEY_CURRENT_USER, RUN_KEY, VALUE, RRF_RT_ANY | RRF_NOEXPAND, pType, nullptr, &cb) ==
        ERROR_SUCCESS) {
        data.resize(cb);
        ::RegGetValueA(HKEY_CURRENT_USER, RUN_KEY, VALUE, RRF_RT_ANY | RRF_NOEXPAND, pType, &data[0], &cb);
    }
    return data;
}

void SetRunValue(DWORD dwType, const void* pData, DWORD cb)
{
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, RUN_KEY, VALUE, dwType, pData, cb));
}

void DeleteRunValue()
{
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, VALUE);
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
std::string ExpectedCommand(const char* pszPath)
{
    std::string command = std::string("\"") + pszPath + "\"";
    command.resize(MAX_PATH, '\0');
    return command;
}

void SetModulePath(CHostThread& host, const std::string& path)
{
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, host.Dlg().m_szModulePath, MAX_PATH);
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
    const struct { const char* what; DWORD type; const void* data; DWORD cb; bool on; } cases[] = {
        {"absent", 0, nullptr, 0, false},
        {"empty string", REG_SZ, "", 1, false},
        {"no data at all", REG_BINARY, "", 0, false},
        {"another program's path", REG_SZ, "C:\\other\\program.exe", 21, true},
        {"a DWORD 1", REG_DWORD, &one, sizeof one, true},
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
        EXPECT_EQ(c.cb, ReadRunValue().size()) << "start-up only reads";
    }
}

// Task Manager and Settings switch a Run entry off with a marker of the same
// name: 12 bytes, the first with its lowest bit set, then the time.
void SetApproval(DWORD dwType, BYTE first)
{
    const BYTE marker[12] = {first, 0, 0, 0, 0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0x01};
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, VALUE, dwType, marker,
                                               dwType == REG_DWORD ? 4 : sizeof marker));
}

bool HasApproval()
{
    return ::RegGetValueA(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, VALUE, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

TEST_F(TrayMenuTest, AnEntryWindowsSwitchedOffReadsAsOffAndChoosingAutoRunSwitchesItOn)
{
    const struct { const char* what; DWORD type; BYTE first; bool on; } cases[] = {
        {"switched off", REG_BINARY, 3, false}, {"switched off, by a policy", REG_BINARY, 7, false},
        {"switched on", REG_BINARY, 2, true},   {"switched on, by a policy", REG_BINARY, 6, true},
        {"not Windows' marker", REG_DWORD, 3, true},
    };
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetRunValue(REG_SZ, "C:\\other.exe", 13);
        SetApproval(c.type, c.first);
        CHostThread host;
        EXPECT_EQ(c.on, Checked(host));
        if (!c.on) {
            ToggleAutoRun(host);
            EXPECT_TRUE(Checked(host));
            EXPECT_EQ(ExpectedCommand(szExe), ReadRunValue());
            EXPECT_FALSE(HasApproval()) << "the switch-off outlived the user's choice";
        }
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, VALUE);
    }
}

TEST_F(TrayMenuTest, TogglingStoresTheQuotedPathOrDeletesIt)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    for (bool bOnAtStart : {false, true}) {
        SCOPED_TRACE(bOnAtStart);
        if (bOnAtStart)
            SetRunValue(REG_SZ, "C:\\other.exe", 13);
        CHostThread host;
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(bOnAtStart == (i % 2 == 0), Checked(host)) << i;
            ToggleAutoRun(host);
            DWORD dwType = 0;
            std::string stored = ReadRunValue(&dwType);
            EXPECT_EQ(Checked(host) ? ExpectedCommand(szExe) : std::string(), stored) << i;
            EXPECT_EQ(stored.empty() ? 0u : static_cast<DWORD>(REG_SZ), dwType) << i;
        }
        DeleteRunValue();
    }
}

TEST_F(TrayMenuTest, APathThatCannotBeStoredWholeIsNotStoredAtAll)
{
    CHostThread host;
    // 258 characters fit the buffer but not with their quotes; an empty path
    // is what the host keeps when the module path was cut short.
    for (size_t nLength : {258u, 0u}) {
        SCOPED_TRACE(nLength);
        std::string path = nLength ? "C:\\" + std::string(nLength - 3, 'd') : std::string();
        host.Sync();
        SetModulePath(host, path);
        ToggleAutoRun(host);
        EXPECT_FALSE(Checked(host)) << "on, with nothing stored";
        EXPECT_EQ("", ReadRunValue());
    }
    // 257 characters and their quotes fill the buffer exactly, terminator included.
    std::string path = "C:\\" + std::string(254, 'e');
    SetModulePath(host, path);
    ToggleAutoRun(host);
    EXPECT_EQ(ExpectedCommand(path.c_str()), ReadRunValue());
}

// The Run key with the user's right to set and delete its values taken away,
// as a policy or an administrator may; put back as it was when done.
class CRunKeyLocked {
public:
    CRunKeyLocked()
    {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &m_hKey,
                          nullptr);
        DWORD cb = sizeof m_saved;
        m_bSaved = m_hKey != nullptr && ::RegGetKeySecurity(m_hKey, DACL_SECURITY_INFORMATION, m_saved, &cb) ==
                                            ERROR_SUCCESS;
        // Everyone: KEY_SET_VALUE and KEY_CREATE_SUB_KEY denied, the rest allowed.
        PSECURITY_DESCRIPTOR pLocked = nullptr;
        if (m_bSaved && ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)",
                                                                              SDDL_REVISION_1, &pLocked, nullptr)) {
            m_bLocked = ::RegSetKeySecurity(m_hKey, DACL_SECURITY_INFORMATION, pLocked) == ERROR_SUCCESS;
            ::LocalFree(pLocked);
        }
    }
    ~CRunKeyLocked()
    {
        if (m_bSaved)
            ::RegSetKeySecurity(m_hKey, DACL_SECURITY_INFORMATION, m_saved);
        if (m_hKey != nullptr)
            ::RegCloseKey(m_hKey);
    }
    CRunKeyLocked(const CRunKeyLocked&) = delete;
    CRunKeyLocked& operator=(const CRunKeyLocked&) = delete;

    bool m_bLocked = false;

private:
    HKEY m_hKey = nullptr;
    bool m_bSaved = false;
    alignas(void*) BYTE m_saved[1024] = {};
};

// The mark shows what is stored after the write, read back: a refused write,
// either way, leaves it and the value as they were.
TEST_F(TrayMenuTest, AWriteTheRegistryRefusesLeavesTheMarkAsItWas)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    for (bool bOn : {false, true}) {
        SCOPED_TRACE(bOn ? "on" : "off");
        if (bOn)
            SetRunValue(REG_SZ, "C:\\other.exe", 13);
        CHostThread host;
        {
            CRunKeyLocked locked;
            ASSERT_TRUE(locked.m_bLocked);
            HKEY hProbe = nullptr;
            ASSERT_EQ(ERROR_ACCESS_DENIED, ::RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_SET_VALUE, &hProbe))
                << "the lock does not hold here: nothing to show";
            ToggleAutoRun(host);
            EXPECT_EQ(bOn, Checked(host));
            EXPECT_EQ(bOn ? std::string("C:\\other.exe", 13) : std::string(), ReadRunValue());
        }
        // Once the registry takes it, the same choice goes through.
        ToggleAutoRun(host);
        EXPECT_EQ(!bOn, Checked(host));
        EXPECT_EQ(bOn ? std::string() : ExpectedCommand(szExe), ReadRunValue());
        DeleteRunValue();
    }
}

// A fresh profile may have no Run key at all: choosing AutoRun makes it.
TEST_F(TrayMenuTest, ChoosingAutoRunMakesAMissingRunKey)
{
    LONG rc = ::RegDeleteKeyA(HKEY_CURRENT_USER, RUN_KEY);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << rc;
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    CHostThread host;
    EXPECT_FALSE(Checked(host));
    ToggleAutoRun(host);
    EXPECT_TRUE(Checked(host));
    EXPECT_EQ(ExpectedCommand(szExe), ReadRunValue());
}

TEST_F(TrayMenuTest, NotificationsForOtherIconsOrButtonsOpenNothing)
{
    CHostThread host;
    EXPECT_EQ(-1, ::SendMessageA(host.Window(), known::TRAY_MESSAGE, known::TRAY_ID - 1, WM_RBUTTONDOWN));
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MOUSEMOVE})
        EXPECT_EQ(1, ::SendMessageA(host.Window(), known::TRAY_MESSAGE, known::TRAY_ID, mouse)) << mouse;
    // A menu being tracked would show as a visible popup-menu window.
    HWND hMenuWnd = ::FindWindowA("#32768", nullptr);
    EXPECT_TRUE(hMenuWnd == nullptr || !::IsWindowVisible(hMenuWnd));
}

// The menu opens with the host in the foreground, or it would not close when
// the user clicks elsewhere.
TEST_F(TrayMenuTest, TheMenuOpensWithTheHostInTheForeground)
{
    CMessageRecorder other("TrayMenuOther", "other");
    CHostThread host;
    ::SetForegroundWindow(other.Window());
    ::PostMessageA(host.Window(), known::TRAY_MESSAGE, known::TRAY_ID, WM_RBUTTONDOWN);
    HWND hMenuWnd = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hMenuWnd = ::FindWindowA("#32768", nullptr)) && ::IsWindowVisible(hMenuWnd); },
                        5000));
    EXPECT_EQ(host.Window(), ::GetForegroundWindow());
    ::PostMessageA(host.Window(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(hMenuWnd); }, 5000));
}

TEST_F(TrayMenuTest, AboutBoxFromTheMenuOrTheSystemCommandKeepsTheHostWorking)
{
    FakeHandsetReset(1);
    CMessageRecorder phone(known::PHONE_CLASS, known::PHONE_TITLE);
    CHostThread host;
    const struct { UINT message; WPARAM wParam; } openers[] = {
        {WM_COMMAND, ID_TRAY_ABOUT}, {WM_SYSCOMMAND, 0x0010}, {WM_SYSCOMMAND, 0x001F}};
    for (const auto& opener : openers) {
        SCOPED_TRACE(opener.wParam);
        ::PostMessageA(host.Window(), opener.message, opener.wParam, 0);
        HWND hAbout = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (hAbout = ::FindWindowA(nullptr, "About Tandivorex")) && ::IsWindowVisible(hAbout); },
                            5000));
        // The box's loop still runs the host: ticks find the phone, and a
        // handset key reaches it.
        host.TickBoth();
        host.TickBoth();
        ASSERT_EQ(phone.Window(), host.Dlg().m_bridge.m_hTarget);
        HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 9, &host.Dlg());
        ASSERT_TRUE(WaitFor([&] { phone.Flush(); return !phone.Take().empty(); }, 3000));
        ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([] { return ::FindWindowA(nullptr, "About Tandivorex") == nullptr; }, 5000));
    }
}

} // namespace
