// The stand-ins as the other tests rely on them: the simulated handset and the
// stand-in QVUSBTEL.dll deliver every event whole and in order and report every
// command they were sent; the stand-in softphone logs every key it receives.
#include "handset/qvusbtel.h"
#include "tests/support/child_process.h"
#include "tests/support/known_values.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

typedef int(WINAPI* QvDeviceIoControl)(DWORD, QV_HANDSET_CALLBACK, void*, DWORD, DWORD, DWORD);
typedef std::vector<std::pair<int, int>> Events;

// What the library's callback was given, and on which threads.
struct EventLog {
    EventLog() { ::InitializeCriticalSection(&cs); }
    ~EventLog() { ::DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
    Events events;
    std::vector<DWORD> threads;

    static int WINAPI Callback(int type, int value, void* context)
    {
        auto pLog = static_cast<EventLog*>(context);
        ::EnterCriticalSection(&pLog->cs);
        pLog->events.emplace_back(type, value);
        pLog->threads.push_back(::GetCurrentThreadId());
        ::LeaveCriticalSection(&pLog->cs);
        return 1;
    }

    Events Take()
    {
        ::EnterCriticalSection(&cs);
        Events taken;
        taken.swap(events);
        ::LeaveCriticalSection(&cs);
        return taken;
    }
};

class HandsetSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HMODULE hDll = ::LoadLibraryA(BinPath("QVUSBTEL.dll").c_str());
        ASSERT_NE(nullptr, hDll);
        m_qv = reinterpret_cast<QvDeviceIoControl>(
            reinterpret_cast<void (*)()>(::GetProcAddress(hDll, "QV_DeviceIoControl")));
        ASSERT_NE(nullptr, m_qv);
        ASSERT_TRUE(m_device.Start("handset-sim.exe", "serve"));
        ASSERT_TRUE(WaitFor([this] { return Sim("status") == 0; }, 10000));
    }
    void TearDown() override
    {
        m_qv(QV_CODE_CLOSE, nullptr, nullptr, 0, 0, 0);
        Sim("quit");
        m_device.Wait(5000);
    }

    DWORD Sim(const std::string& args, std::string* pOutput = nullptr)
    {
        std::string out;
        DWORD dwCode = RunAndCapture("handset-sim.exe", args, &out);
        if (pOutput != nullptr)
            *pOutput = out;
        return dwCode;
    }
    int Qv(DWORD code) { return m_qv(code, nullptr, nullptr, 0, 0, 0); }
    int Open() { return m_qv(QV_CODE_OPEN, &EventLog::Callback, &m_log, 0, 0, 0); }

    QvDeviceIoControl m_qv = nullptr;
    CChildProcess m_device;
    EventLog m_log;
};

TEST_F(HandsetSimTest, EventsReachTheCallbackWholeAndInOrderOnOneLibraryThread)
{
    ASSERT_EQ(0u, Sim("plug"));
    ASSERT_EQ(1, Open());
    ASSERT_EQ(0u, Sim("key 0 9 * # down up enter activate escape forward-on forward-off keyset right f5 left"));
    ASSERT_EQ(0u, Sim("dial 12"));
    ASSERT_EQ(0u, Sim("event 0xFFFFFFFF 4294967295"));
    ASSERT_EQ(0u, Sim("event 2147483647 -2147483648"));
    ASSERT_EQ(0u, Sim("unplug"));
    const Events expected = {{11, 0x80}, {11, 0x89}, {11, 0x8B}, {11, 0x8C}, {11, 0x8D}, {11, 0x8E},
                             {11, 0x91}, {12, 0},    {13, 0},    {14, 0},    {15, 0},    {0, 256},
                             {4, 4},     {4, 20},    {4, 35},    {11, 0x81}, {11, 0x82}, {-1, -1},
                             {0x7FFFFFFF, static_cast<int>(0x80000000u)},    {-1, 0}};
    EXPECT_EQ(expected, m_log.Take());
    for (DWORD dwThread : m_log.threads) {
        EXPECT_NE(::GetCurrentThreadId(), dwThread);
        EXPECT_EQ(m_log.threads.front(), dwThread);
    }
    std::string status;
    Sim("status", &status);
    EXPECT_EQ("unplugged closed\r\n", status);
}

TEST_F(HandsetSimTest, EveryCommandIsRecordedInOrderAndCloseStopsEvents)
{
    EXPECT_EQ(0, Qv(0x1001)) << "unplugged";
    EXPECT_EQ(0, Open());
    ASSERT_EQ(0u, Sim("plug"));
    EXPECT_EQ(1, Open());
    for (DWORD code : {0x1003, 0x1004, 0x1005, 0x1006})
        EXPECT_EQ(1, Qv(code));
    EXPECT_EQ(1, Qv(QV_CODE_CLOSE));
    EXPECT_NE(0u, Sim("key 5")) << "a key with the library closed";
    EXPECT_TRUE(m_log.Take().empty());

    std::string listed;
    EXPECT_EQ(0u, Sim("commands --clear", &listed));
    EXPECT_EQ("0x1001 command\r\n0x0000 open\r\n0x0000 open\r\n0x1003 command\r\n0x1004 command\r\n"
              "0x1005 command\r\n0x1006 command\r\n0xFFFF close\r\n",
              listed);
    Sim("commands", &listed);
    EXPECT_EQ("", listed);
}

TEST(Softphone, LogsEveryKeyItReceivesInOrder)
{
    char szLog[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szLog);
    lstrcatA(szLog, "standins-softphone.log");
    ::DeleteFileA(szLog);
    CChildProcess phone;
    ASSERT_TRUE(phone.Start("softphone.exe", std::string("--log \"") + szLog + "\""));
    HWND hWnd = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hWnd = ::FindWindowA(known::PHONE_CLASS, known::PHONE_TITLE)) != nullptr; },
                        10000));
    const struct { UINT message; WPARAM vk; LPARAM lParam; const char* logged; } keys[] = {
        {WM_KEYDOWN, '5', known::KEY_LPARAM, "keydown vk=0x35 lparam=0x0001C001"},
        {WM_KEYUP, '5', known::KEY_LPARAM, "keyup vk=0x35 lparam=0x0001C001"},
        {WM_KEYDOWN, VK_RETURN, 0x00000001, "keydown vk=0x0D lparam=0x00000001"},
        {WM_KEYUP, VK_ESCAPE, 0x7FFFFFFF, "keyup vk=0x1B lparam=0x7FFFFFFF"},
    };
    for (const auto& key : keys)
        ::PostMessageA(hWnd, key.message, key.vk, key.lParam);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0); // after the keys, in the same queue
    ASSERT_TRUE(phone.Wait(10000));

    std::vector<std::string> logged;
    FILE* pFile = std::fopen(szLog, "r");
    ASSERT_NE(nullptr, pFile);
    char szLine[256];
    while (std::fgets(szLine, sizeof szLine, pFile)) {
        std::string line(szLine);
        line = line.substr(line.find(' ') + 1); // after the time
        if (line.rfind("key", 0) == 0)
            logged.push_back(line.substr(0, line.find_last_not_of("\r\n") + 1));
    }
    std::fclose(pFile);
    ASSERT_EQ(sizeof keys / sizeof keys[0], logged.size());
    for (size_t i = 0; i < logged.size(); ++i)
        EXPECT_EQ(keys[i].logged, logged[i]);
}

} // namespace
