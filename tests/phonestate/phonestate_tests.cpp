// phonestate.exe as a real process, against a real window captioned as
// Tandivorex's host.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const UINT WM_PHONE_STATE = WM_USER + 102;
const char HOST_CAPTION[] = "*Tandivorex";

// A top-level window on a thread of its own that records the states sent to
// it and answers with the result it is given; held, it answers only when let go.
class CStateHost {
public:
    CStateHost()
        : m_hWnd(nullptr)
        , m_hReady(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
        , m_hRelease(::CreateEventA(nullptr, TRUE, TRUE, nullptr))
        , m_answer(0)
    {
        ::InitializeCriticalSection(&m_cs);
        m_hThread = ::CreateThread(nullptr, 0, &CStateHost::ThreadProc, this, 0, nullptr);
        ::WaitForSingleObject(m_hReady, 10000);
    }

    ~CStateHost()
    {
        ::SetEvent(m_hRelease);
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        ::WaitForSingleObject(m_hThread, 10000);
        ::CloseHandle(m_hThread);
        ::CloseHandle(m_hReady);
        ::CloseHandle(m_hRelease);
        ::DeleteCriticalSection(&m_cs);
    }

    HWND Window() const { return m_hWnd; }
    void Hold() { ::ResetEvent(m_hRelease); }
    void Release() { ::SetEvent(m_hRelease); }

    void SetAnswer(LRESULT answer)
    {
        ::EnterCriticalSection(&m_cs);
        m_answer = answer;
        ::LeaveCriticalSection(&m_cs);
    }

    // The states received so far, cleared afterwards.
    std::vector<WPARAM> TakeStates()
    {
        ::EnterCriticalSection(&m_cs);
        std::vector<WPARAM> states;
        states.swap(m_states);
        ::LeaveCriticalSection(&m_cs);
        return states;
    }

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam)
    {
        auto pThis = static_cast<CStateHost*>(pParam);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &CStateHost::WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "PhonestateTestHost";
        ::RegisterClassA(&wc); // a later host reuses it
        // Hidden, as Tandivorex's own host is.
        pThis->m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, HOST_CAPTION, WS_OVERLAPPED, 0, 0, 100, 100,
                                          nullptr, nullptr, wc.hInstance, pThis);
        ::SetEvent(pThis->m_hReady);
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&msg);
        return 0;
    }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_NCCREATE) {
            auto pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
            ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
        }
        auto pThis = reinterpret_cast<CStateHost*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (uMsg == WM_PHONE_STATE && pThis != nullptr) {
            ::WaitForSingleObject(pThis->m_hRelease, 10000);
            ::EnterCriticalSection(&pThis->m_cs);
            pThis->m_states.push_back(wParam);
            LRESULT answer = pThis->m_answer;
            ::LeaveCriticalSection(&pThis->m_cs);
            return answer;
        }
        if (uMsg == WM_DESTROY)
            ::PostQuitMessage(0);
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }

    HWND m_hWnd;
    HANDLE m_hThread;
    HANDLE m_hReady;
    HANDLE m_hRelease;
    CRITICAL_SECTION m_cs;
    LRESULT m_answer;
    std::vector<WPARAM> m_states;
};

struct RunResult {
    DWORD dwExitCode;
    std::string out;
    std::string err;
};

// Runs phonestate with its output and errors apart; a hang ends in a failure.
RunResult RunPhonestate(const std::string& args)
{
    RunResult result = {STILL_ACTIVE, std::string(), std::string()};
    result.dwExitCode = RunAndCapture("phonestate.exe", args, &result.out, 10000, &result.err);
    EXPECT_NE(static_cast<DWORD>(-1), result.dwExitCode) << "phonestate " << args << " did not start";
    EXPECT_NE(255u, result.dwExitCode) << "phonestate " << args << ": still running after 10 s";
    return result;
}

class PhonestateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_host.Window());
        ASSERT_EQ(m_host.Window(), ::FindWindowA(nullptr, HOST_CAPTION)) << "another \"*Tandivorex\" is about";
    }

    CStateHost m_host;
};

TEST_F(PhonestateTest, SendsTheStateAndPrintsTheAnswerAsSigned32Bits)
{
    const struct {
        const char* pszArg;
        WPARAM expectedState;
        LRESULT answer;
        const char* pszPrinted;
    } cases[] = {
        {"257", 257, 1, "1\r\n"},
        {"0x108", 264, 43, "43\r\n"},
        {"0XfF", 255, 0, "0\r\n"},
        {"-1", 0xFFFFFFFF, -1, "-1\r\n"},
        {"4294967295", 0xFFFFFFFF, static_cast<LRESULT>(0xFFFFFFFFu), "-1\r\n"},
        {"-2147483648", 0x80000000, 0x7FFFFFFF, "2147483647\r\n"},
        {"0", 0, static_cast<LONG>(0x80000000u), "-2147483648\r\n"},
        // Bits above the low 32 of a 64-bit answer are not part of it.
        {"260", 260, static_cast<LRESULT>(static_cast<ULONG_PTR>(0xDEAD00000007ull)), "7\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszArg);
        m_host.SetAnswer(c.answer);
        RunResult run = RunPhonestate(c.pszArg);
        EXPECT_EQ(0u, run.dwExitCode);
        EXPECT_EQ(c.pszPrinted, run.out);
        EXPECT_EQ("", run.err);
        EXPECT_EQ(std::vector<WPARAM>{c.expectedState}, m_host.TakeStates());
    }
}

TEST_F(PhonestateTest, BadArgumentsAreRefusedAndNothingIsSent)
{
    const char* const cases[] = {"abc", "12x", "99999999999", "4294967296", "-2147483649", "0x100000000",
                                 "0x", "0x1G", "-", "+5", "\" 5\"", "\"5 \"", "\"\"", "", "1 2"};
    for (const char* pszArgs : cases) {
        SCOPED_TRACE(std::string("args [") + pszArgs + "]");
        RunResult run = RunPhonestate(pszArgs);
        EXPECT_EQ(2u, run.dwExitCode);
        EXPECT_EQ("", run.out);
        EXPECT_NE(std::string::npos, run.err.find("usage: phonestate STATE")) << run.err;
    }
    EXPECT_TRUE(m_host.TakeStates().empty());

    RunResult help = RunPhonestate("--help");
    EXPECT_EQ(0u, help.dwExitCode);
    EXPECT_EQ(0u, help.out.find("usage: phonestate STATE")) << help.out;
    EXPECT_TRUE(m_host.TakeStates().empty());
}

TEST_F(PhonestateTest, HostThatDoesNotAnswerIsReportedWithinTheTimeout)
{
    m_host.Hold();
    DWORD dwStart = ::GetTickCount();
    RunResult run = RunPhonestate("257");
    DWORD dwElapsed = ::GetTickCount() - dwStart;
    m_host.Release();
    EXPECT_EQ(1u, run.dwExitCode);
    EXPECT_EQ("", run.out);
    EXPECT_NE(std::string::npos, run.err.find("did not answer")) << run.err;
    EXPECT_GE(dwElapsed, 4000u);
    EXPECT_LE(dwElapsed, 8000u);
}

TEST(PhonestateWithoutHost, SaysTandivorexIsNotRunning)
{
    ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_CAPTION));
    RunResult run = RunPhonestate("257");
    EXPECT_EQ(1u, run.dwExitCode);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("phonestate: Tandivorex is not running\r\n", run.err);
}

} // namespace
