// The simulated handset and the stand-in QVUSBTEL.dll together, as the program
// and the test scripts use them: the device in a process of its own, driven by
// handset-sim commands, and the real DLL loaded here.
#include "handset/qvusbtel.h"
#include "standins/handset_sim/handset_protocol.h"
#include "tests/handset_sim/event_log.h"
#include "tests/handset_sim/sim_runner.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <climits>
#include <utility>

namespace {

typedef int(WINAPI* QvDeviceIoControl)(DWORD, QV_HANDSET_CALLBACK, void*, DWORD, DWORD, DWORD);
typedef std::vector<std::pair<int, int>> Events;

const int kKeypad = 11;

Events TypesAndValues(const std::vector<CEventLog::Entry>& entries)
{
    Events events;
    for (const CEventLog::Entry& entry : entries)
        events.emplace_back(entry.type, entry.value);
    return events;
}

int ThreadCount()
{
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Thread32First(hSnapshot, &entry); more; more = ::Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ++count;
    }
    ::CloseHandle(hSnapshot);
    return count;
}

::testing::AssertionResult Succeeded(const CSimRunner::Result& result)
{
    if (result.exitCode == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit code " << result.exitCode << ", stderr: " << result.err;
}

::testing::AssertionResult FailedSaying(const CSimRunner::Result& result, const char* words)
{
    if (result.exitCode == 1 && result.err.find(words) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit code " << result.exitCode << ", stderr: " << result.err;
}

class HandsetSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HMODULE hDll = ::LoadLibraryW(CSimRunner::BinPath(L"QVUSBTEL.dll").c_str());
        if (hDll != nullptr) {
            FARPROC proc = ::GetProcAddress(hDll, "QV_DeviceIoControl");
            s_qv = reinterpret_cast<QvDeviceIoControl>(reinterpret_cast<void (*)()>(proc));
        }
    }

    void SetUp() override
    {
        ASSERT_NE(s_qv, nullptr) << "QVUSBTEL.dll or its QV_DeviceIoControl is missing";
        ASSERT_EQ(handset_protocol::FindDevice(), nullptr) << "a device from elsewhere is running";
    }

    void TearDown() override
    {
        if (s_qv != nullptr)
            Qv(QV_CODE_CLOSE);
        m_sim.StopDevice();
    }

    int Qv(DWORD code) { return s_qv(code, nullptr, nullptr, 0, 0, 0); }
    int Open(CEventLog& log) { return s_qv(QV_CODE_OPEN, &CEventLog::Callback, &log, 0, 0, 0); }
    CSimRunner::Result Sim(const std::vector<std::string>& args) { return m_sim.Run(args); }
    std::string Status() { return Sim({"status"}).out; }

    static QvDeviceIoControl s_qv;
    CEventLog m_log;
    CSimRunner m_sim;
};

QvDeviceIoControl HandsetSimTest::s_qv = nullptr;

TEST_F(HandsetSimTest, OpenNeedsARunningPluggedInDevice)
{
    EXPECT_EQ(Open(m_log), 0);
    EXPECT_EQ(Qv(0x1004), 0);
    EXPECT_EQ(Qv(QV_CODE_CLOSE), 1);
    EXPECT_TRUE(FailedSaying(Sim({"status"}), "no device is running"));

    ASSERT_TRUE(m_sim.StartDevice(false));
    CSimRunner::Result second = Sim({"serve"});
    EXPECT_NE(second.exitCode, 0u);
    EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;
    EXPECT_EQ(Status(), "unplugged closed\n");
    EXPECT_EQ(Open(m_log), 0);
    EXPECT_EQ(Qv(0x1004), 0);

    ASSERT_TRUE(Succeeded(Sim({"plug"})));
    EXPECT_EQ(Open(m_log), 1);
    EXPECT_EQ(Status(), "plugged open\n");
    EXPECT_EQ(Qv(0x1004), 1);
    EXPECT_EQ(Qv(QV_CODE_CLOSE), 1);
    EXPECT_EQ(Status(), "plugged closed\n");
    EXPECT_TRUE(m_log.Entries().empty());
}

TEST_F(HandsetSimTest, KeysReachTheCallbackInOrderOnALibraryThread)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);
    ASSERT_TRUE(Succeeded(Sim({"key", "0", "9", "*", "#", "down", "up", "enter", "activate", "escape",
                               "forward-on", "forward-off", "keyset", "right", "f5", "left"})));
    // A slow callback shows that dial returns only after the callback has taken every event.
    m_log.SetDelay(100);
    ASSERT_TRUE(Succeeded(Sim({"dial", "12*#"})));
    std::vector<CEventLog::Entry> entries = m_log.Entries();
    Events expected = {{kKeypad, 0x80}, {kKeypad, 0x89}, {kKeypad, 0x8B}, {kKeypad, 0x8C}, {kKeypad, 0x8D},
                       {kKeypad, 0x8E}, {kKeypad, 0x91}, {12, 0},          {13, 0},          {14, 0},
                       {15, 0},         {0, 256},        {4, 4},           {4, 20},          {4, 35},
                       {kKeypad, 0x81}, {kKeypad, 0x82}, {kKeypad, 0x8B}, {kKeypad, 0x8C}};
    EXPECT_EQ(TypesAndValues(entries), expected);
    ASSERT_FALSE(entries.empty());
    for (const CEventLog::Entry& entry : entries) {
        EXPECT_NE(entry.threadId, ::GetCurrentThreadId());
        EXPECT_EQ(entry.threadId, entries.front().threadId);
    }
}

TEST_F(HandsetSimTest, RawEventsKeepAll32Bits)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);
    ASSERT_TRUE(Succeeded(Sim({"event", "-1", "0"})));
    ASSERT_TRUE(Succeeded(Sim({"event", "0xFFFFFFFF", "4294967295"})));
    ASSERT_TRUE(Succeeded(Sim({"event", "2147483647", "-2147483648"})));
    ASSERT_TRUE(Succeeded(Sim({"event", "12", "0xDEADBEEF"})));

    Events expected = {{-1, 0}, {-1, -1}, {INT_MAX, INT_MIN}, {12, static_cast<int>(0xDEADBEEF)}};
    EXPECT_EQ(TypesAndValues(m_log.Entries()), expected);
}

TEST_F(HandsetSimTest, UnplugWhileOpenReportsDeviceLost)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);
    ASSERT_TRUE(Succeeded(Sim({"key", "1"})));
    ASSERT_TRUE(Succeeded(Sim({"unplug"})));
    EXPECT_EQ(TypesAndValues(m_log.Entries()), (Events{{kKeypad, 0x81}, {QV_EVENT_DEVICE_LOST, 0}}));
    EXPECT_EQ(Status(), "unplugged closed\n");
    EXPECT_TRUE(FailedSaying(Sim({"key", "2"}), "unplugged"));
    EXPECT_EQ(Qv(QV_CODE_CLOSE), 1);

    ASSERT_TRUE(Succeeded(Sim({"plug"})));
    EXPECT_TRUE(FailedSaying(Sim({"key", "3"}), "not opened"));
    ASSERT_EQ(Open(m_log), 1);
    ASSERT_TRUE(Succeeded(Sim({"key", "4"})));
    EXPECT_EQ(TypesAndValues(m_log.Entries()),
              (Events{{kKeypad, 0x81}, {QV_EVENT_DEVICE_LOST, 0}, {kKeypad, 0x84}}));
}

TEST_F(HandsetSimTest, DeviceProcessDyingWhileOpenReportsDeviceLost)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);
    ASSERT_TRUE(::TerminateProcess(m_sim.DeviceProcess(), 1));
    ASSERT_TRUE(m_log.WaitForCount(1, 5000));
    ::Sleep(50); // room for a wrong second report
    EXPECT_EQ(TypesAndValues(m_log.Entries()), (Events{{QV_EVENT_DEVICE_LOST, 0}}));
    EXPECT_EQ(Open(m_log), 0);
}

TEST_F(HandsetSimTest, CloseWaitsForARunningCallbackAndStopsEvents)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);
    m_log.SetDelay(300);
    HANDLE hKey = m_sim.Launch({"key", "5"});
    ASSERT_NE(hKey, nullptr);
    EXPECT_EQ(::WaitForSingleObject(m_log.Entered(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Qv(QV_CODE_CLOSE), 1);
    EXPECT_EQ(m_log.Entries().size(), 1u) << "close returned while the callback was still running";
    EXPECT_EQ(::WaitForSingleObject(hKey, 5000), WAIT_OBJECT_0);
    ::CloseHandle(hKey);

    m_log.SetDelay(0);
    EXPECT_TRUE(FailedSaying(Sim({"key", "6"}), "not opened"));
    EXPECT_EQ(TypesAndValues(m_log.Entries()), (Events{{kKeypad, 0x85}}));
    EXPECT_EQ(Status(), "plugged closed\n");
}

TEST_F(HandsetSimTest, ReopeningSwitchesCallbackWithoutLeakingThreads)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    CEventLog first;
    ASSERT_EQ(Open(first), 1);
    int threads = ThreadCount();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(Open(m_log), 1);
    EXPECT_EQ(ThreadCount(), threads);

    ASSERT_TRUE(Succeeded(Sim({"key", "7"})));
    EXPECT_TRUE(first.Entries().empty());
    EXPECT_EQ(TypesAndValues(m_log.Entries()), (Events{{kKeypad, 0x87}}));
}

TEST_F(HandsetSimTest, DeviceRecordsEveryCodeInOrder)
{
    ASSERT_TRUE(m_sim.StartDevice(false));
    EXPECT_EQ(Qv(0x1001), 0);
    EXPECT_EQ(Open(m_log), 0);
    ASSERT_TRUE(Succeeded(Sim({"plug"})));
    EXPECT_EQ(Open(m_log), 1);
    for (DWORD code : {0x1003, 0x1004, 0x1005, 0x1006})
        EXPECT_EQ(Qv(code), 1);
    EXPECT_EQ(Qv(QV_CODE_CLOSE), 1);

    CSimRunner::Result listed = Sim({"commands", "--clear"});
    EXPECT_TRUE(Succeeded(listed));
    EXPECT_EQ(listed.out, "0x1001 command\n"
                          "0x0000 open\n"
                          "0x0000 open\n"
                          "0x1003 command\n"
                          "0x1004 command\n"
                          "0x1005 command\n"
                          "0x1006 command\n"
                          "0xFFFF close\n");
    CSimRunner::Result cleared = Sim({"commands"});
    EXPECT_TRUE(Succeeded(cleared));
    EXPECT_EQ(cleared.out, "");
}

TEST_F(HandsetSimTest, MalformedCommandLinesFailWithoutHarm)
{
    ASSERT_TRUE(m_sim.StartDevice(true));
    ASSERT_EQ(Open(m_log), 1);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"bogus"},
        {"serve", "--unplugged"},
        {"commands", "--all"},
        {"key"},
        {"key", "1", "F6"},
        {"key", std::string(65, '1')},
        {"event", "1"},
        {"event", "x", "1"},
        {"event", "1", "12abc"},
        {"event", "1", ""},
        {"event", "1", "0x100000000"},
        {"event", "4294967296", "0"},
        {"event", "-2147483649", "0"},
        {"dial", "12a"},
        {"dial", ""},
    };
    for (const std::vector<std::string>& args : bad) {
        std::string joined;
        for (const std::string& arg : args)
            joined += " '" + arg + "'";
        CSimRunner::Result result = Sim(args);
        EXPECT_EQ(result.exitCode, 2u) << joined;
        EXPECT_FALSE(result.err.empty()) << joined;
        EXPECT_EQ(result.out, "") << joined;
    }

    // Nothing of a half-valid line went out, and the device still answers.
    EXPECT_TRUE(m_log.Entries().empty());
    ASSERT_TRUE(Succeeded(Sim({"key", "1"})));
    EXPECT_EQ(TypesAndValues(m_log.Entries()), (Events{{kKeypad, 0x81}}));
    EXPECT_EQ(Status(), "plugged open\n");

    CSimRunner::Result help = Sim({"--help"});
    EXPECT_TRUE(Succeeded(help));
    EXPECT_EQ(help.out.rfind("usage: handset-sim", 0), 0u) << help.out;
}

} // namespace
