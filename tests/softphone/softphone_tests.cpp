// The stand-in softphone as a real process: its window, its log, its display.
#include "standins/softphone/control_ids.h"
#include "tests/support/child_process.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const LPARAM KEY_LPARAM = 0x0001C001;
const char PHONE_CLASS[] = "AfxFrameOrView42";
const char PHONE_TITLE[] = "k7340 Software Phone";

struct LogLine {
    double ms;
    std::string text; // everything after the time
};

// Lines that do not start with a well-formed time come back as "malformed: ..."
// so that any comparison with them fails and shows them.
std::vector<LogLine> ReadLog(const std::string& path)
{
    std::string content;
    HANDLE hFile = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        char chunk[4096];
        DWORD dwRead = 0;
        while (::ReadFile(hFile, chunk, sizeof chunk, &dwRead, nullptr) && dwRead > 0)
            content.append(chunk, dwRead);
        ::CloseHandle(hFile);
    }
    std::vector<LogLine> lines;
    size_t begin = 0;
    for (size_t end; (end = content.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::string line = content.substr(begin, end - begin);
        size_t space = line.find(' ');
        size_t dot = line.find('.');
        bool bTimeOk = space != std::string::npos && dot != std::string::npos && dot > 0 && dot + 4 == space &&
                       line.find_first_not_of("0123456789.") == space;
        if (bTimeOk)
            lines.push_back({std::stod(line.substr(0, space)), line.substr(space + 1)});
        else
            lines.push_back({0.0, "malformed: " + line});
    }
    return lines;
}

// The window of that class and title belonging to that process, if any.
HWND FindWindowOfProcess(const char* pszClass, const char* pszTitle, DWORD dwProcessId)
{
    for (HWND hWnd = nullptr; (hWnd = ::FindWindowExA(nullptr, hWnd, pszClass, pszTitle)) != nullptr;) {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwProcessId)
            return hWnd;
    }
    return nullptr;
}

class SoftphoneTest : public ::testing::Test {
protected:
    SoftphoneTest()
    {
        char szDir[MAX_PATH], szFile[MAX_PATH];
        ::GetTempPathA(MAX_PATH, szDir);
        ::GetTempFileNameA(szDir, "sph", 0, szFile);
        m_logPath = szFile;
    }

    ~SoftphoneTest() override
    {
        m_phone.Terminate();
        ::DeleteFileA(m_logPath.c_str());
    }

    // Starts the phone and takes its window from the log's first line.
    void StartPhone(const std::string& args = std::string())
    {
        ASSERT_TRUE(m_phone.Start("softphone.exe", "--log \"" + m_logPath + "\" " + args));
        ASSERT_TRUE(WaitFor([this] { return !ReadLog(m_logPath).empty(); }, 5000)) << "no start line";
        std::string first = ReadLog(m_logPath)[0].text;
        ASSERT_EQ(0u, first.find("start hwnd=0x")) << first;
        m_hWnd = static_cast<HWND>(ULongToHandle(std::stoul(first.substr(13), nullptr, 16)));
        ASSERT_TRUE(WaitFor([this] { return ::IsWindowVisible(m_hWnd) != FALSE; }, 5000));
    }

    void Press(UINT vk, LPARAM lParam = KEY_LPARAM)
    {
        ::PostMessageA(m_hWnd, WM_KEYDOWN, vk, lParam);
        ::PostMessageA(m_hWnd, WM_KEYUP, vk, lParam);
    }

    // The log's lines of those kinds (and any malformed one), once there are that many.
    std::vector<LogLine> WaitForLines(size_t count, const std::vector<std::string>& kinds)
    {
        std::vector<LogLine> found;
        WaitFor([&] {
            found.clear();
            for (const LogLine& line : ReadLog(m_logPath)) {
                std::string kind = line.text.substr(0, line.text.find(' '));
                if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end() || kind == "malformed:")
                    found.push_back(line);
            }
            return found.size() >= count;
        }, 5000);
        return found;
    }

    // The control's text once it is the wanted one, or as it stands at the timeout.
    std::string WaitForText(int id, const std::string& wanted)
    {
        std::string text;
        WaitFor([&] {
            char sz[256] = {};
            ::GetWindowTextA(::GetDlgItem(m_hWnd, id), sz, sizeof sz);
            text = sz;
            return text == wanted;
        }, 5000);
        return text;
    }

    std::string m_logPath;
    CChildProcess m_phone;
    HWND m_hWnd = nullptr;
};

TEST_F(SoftphoneTest, WindowIsFoundByItsClassAndTitleAndShown)
{
    StartPhone();
    EXPECT_EQ(m_hWnd, FindWindowOfProcess(PHONE_CLASS, PHONE_TITLE, m_phone.Id()));
    std::vector<LogLine> shown = WaitForLines(1, {"show"});
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ("show", shown[0].text);
}

TEST_F(SoftphoneTest, KeysAreLoggedAsTheyArriveWithTheirVirtualKeyAndLParam)
{
    StartPhone();
    double before = NowMs();
    Press('5');
    Press(VK_MULTIPLY);
    Press(VK_DIVIDE);
    Press(VK_F5);
    Press(VK_RETURN, 0x001C0001); // a real keyboard's Enter, to see the lParam is not made up
    ::PostMessageA(m_hWnd, WM_SYSKEYDOWN, VK_F5, 0x20000001);
    ::PostMessageA(m_hWnd, WM_SYSKEYUP, VK_F5, 0xE0000001);
    const char* const expected[] = {
        "keydown vk=0x35 lparam=0x0001C001", "keyup vk=0x35 lparam=0x0001C001",
        "keydown vk=0x6A lparam=0x0001C001", "keyup vk=0x6A lparam=0x0001C001",
        "keydown vk=0x6F lparam=0x0001C001", "keyup vk=0x6F lparam=0x0001C001",
        "keydown vk=0x74 lparam=0x0001C001", "keyup vk=0x74 lparam=0x0001C001",
        "keydown vk=0x0D lparam=0x001C0001", "keyup vk=0x0D lparam=0x001C0001",
        "syskeydown vk=0x74 lparam=0x20000001", "syskeyup vk=0x74 lparam=0xE0000001",
    };
    const size_t count = sizeof expected / sizeof expected[0];
    std::vector<LogLine> keys = WaitForLines(count, {"keydown", "keyup", "syskeydown", "syskeyup"});
    double after = NowMs();
    ASSERT_EQ(count, keys.size());
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(expected[i], keys[i].text) << "line " << i;
        // Same clock as ours: each line falls between the post and our reading.
        EXPECT_GE(keys[i].ms, before) << keys[i].text;
        EXPECT_LE(keys[i].ms, after) << keys[i].text;
        if (i > 0) {
            EXPECT_GE(keys[i].ms, keys[i - 1].ms) << keys[i].text;
        }
    }
}

TEST_F(SoftphoneTest, DisplayShowsTheDialledNumberAndTheCall)
{
    StartPhone();
    for (char digit : std::string("5551234"))
        Press(static_cast<UINT>(digit));
    EXPECT_EQ("5551234", WaitForText(IDC_DIAL_NUMBER, "5551234"));
    EXPECT_EQ("Dialling", WaitForText(IDC_DIAL_STATUS, "Dialling"));

    Press(VK_RETURN);
    EXPECT_EQ("Calling 5551234...", WaitForText(IDC_DIAL_STATUS, "Calling 5551234..."));
    Press(VK_ESCAPE);
    EXPECT_EQ("Hung up", WaitForText(IDC_DIAL_STATUS, "Hung up"));
    EXPECT_EQ("", WaitForText(IDC_DIAL_NUMBER, ""));

    Press(VK_MULTIPLY);
    Press('0');
    Press(VK_DIVIDE);
    EXPECT_EQ("*0#", WaitForText(IDC_DIAL_NUMBER, "*0#"));

    // Keys that dial nothing show only as the last key.
    const struct {
        UINT vk;
        const char* pszShown;
    } others[] = {{VK_UP, "Last key: Up"},     {VK_DOWN, "Last key: Down"}, {VK_LEFT, "Last key: Left"},
                  {VK_RIGHT, "Last key: Right"}, {VK_F5, "Last key: F5"},   {VK_RETURN, "Last key: Enter"}};
    for (const auto& key : others) {
        Press(key.vk);
        EXPECT_EQ(key.pszShown, WaitForText(IDC_DIAL_LAST_KEY, key.pszShown));
    }
    EXPECT_EQ("*0#", WaitForText(IDC_DIAL_NUMBER, "*0#"));
}

TEST_F(SoftphoneTest, HidingAndShowingAreLogged)
{
    StartPhone();
    ::ShowWindow(m_hWnd, SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(m_hWnd));
    ::ShowWindow(m_hWnd, SW_SHOW);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
    std::vector<LogLine> lines = WaitForLines(3, {"show", "hide"});
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("show", lines[0].text);
    EXPECT_EQ("hide", lines[1].text);
    EXPECT_EQ("show", lines[2].text);
}

TEST_F(SoftphoneTest, ActivationIsLogged)
{
    StartPhone();
    CMessageRecorder other("SoftphoneTestOther", "other");
    ASSERT_TRUE(::SetForegroundWindow(other.Window()));
    ASSERT_TRUE(::SetForegroundWindow(m_hWnd));
    std::vector<LogLine> lines = WaitForLines(3, {"activate", "deactivate"});
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("activate", lines[0].text);
    EXPECT_EQ("deactivate", lines[1].text);
    EXPECT_EQ("activate", lines[2].text);
}

TEST_F(SoftphoneTest, ClassTitleAndPositionCanBeChosen)
{
    StartPhone("--class RivalPhone --title \"Rival k7340\" --pos 40 50");
    EXPECT_EQ(m_hWnd, FindWindowOfProcess("RivalPhone", "Rival k7340", m_phone.Id()));
    EXPECT_EQ(nullptr, FindWindowOfProcess(PHONE_CLASS, PHONE_TITLE, m_phone.Id()));
    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    EXPECT_EQ(40, rc.left);
    EXPECT_EQ(50, rc.top);
}

TEST_F(SoftphoneTest, ClosingTheWindowEndsTheProgram)
{
    StartPhone();
    ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_phone.Wait(5000));
    EXPECT_EQ(0u, m_phone.ExitCode());
    EXPECT_EQ("exit", ReadLog(m_logPath).back().text);
}

TEST(SoftphoneOptions, BadOptionsEndTheProgramAtOnce)
{
    const char* const cases[] = {"--bogus", "extra", "--class", "--class \"\"", "--title",
                                 "--pos 10", "--pos 10 y", "--log", "--log \"\"", "--log C:\\no\\such\\dir\\x.log"};
    for (const char* pszArgs : cases) {
        CChildProcess phone;
        ASSERT_TRUE(phone.Start("softphone.exe", pszArgs));
        ASSERT_TRUE(phone.Wait(5000)) << pszArgs << ": still running";
        EXPECT_NE(0u, phone.ExitCode()) << pszArgs;
        EXPECT_EQ(nullptr, FindWindowOfProcess(nullptr, nullptr, phone.Id())) << pszArgs;
    }
    // Only now that it surely ends: the reason goes to the standard error.
    std::string output;
    EXPECT_EQ(2u, RunAndCapture("softphone.exe", "--bogus", &output));
    EXPECT_NE(std::string::npos, output.find("'--bogus'")) << output;
}

} // namespace
