// The callback that carries handset events from the library's thread to the host.
#include "handset/handset_callback.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Event {
    int type;
    int value;
};

const Event s_burst[] = {
    {11, 0x85}, {11, 0x81}, {-1, 0}, {0, 300}, {4, 20}, {13, 0}, {11, 0x7FFFFFFF},
    {11, static_cast<int>(0x80000000u)}, {16, -1}, {15, 0}, {14, 0}, {11, 0x91},
};

struct BurstArgs {
    const void* context;
    int results[sizeof s_burst / sizeof s_burst[0]];
};

DWORD WINAPI SendBurst(LPVOID pParam)
{
    auto pArgs = static_cast<BurstArgs*>(pParam);
    int i = 0;
    for (const Event& e : s_burst)
        pArgs->results[i++] = HandsetCallback(e.type, e.value, const_cast<void*>(pArgs->context));
    return 0;
}

// A plain window standing in for the host; events land in this thread's queue.
class HandsetCallbackTest : public ::testing::Test {
protected:
    HandsetCallbackTest()
    {
        m_hWnd = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~HandsetCallbackTest() override
    {
        UnregisterHandsetHost(&m_host);
        if (::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
    }

    std::vector<MSG> TakeEvents()
    {
        std::vector<MSG> events;
        MSG msg;
        while (::PeekMessageA(&msg, m_hWnd, WM_HANDSET_EVENT, WM_HANDSET_EVENT, PM_REMOVE))
            events.push_back(msg);
        return events;
    }

    int m_host = 0; // only its address matters: it is the context
    HWND m_hWnd;
};

TEST_F(HandsetCallbackTest, PostsEveryEventFromAnotherThreadInOrder)
{
    RegisterHandsetHost(&m_host, m_hWnd);
    BurstArgs args = {&m_host, {}};
    HANDLE hThread = ::CreateThread(nullptr, 0, SendBurst, &args, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hThread, 5000));
    ::CloseHandle(hThread);

    std::vector<MSG> events = TakeEvents();
    ASSERT_EQ(sizeof s_burst / sizeof s_burst[0], events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_NE(0, args.results[i]) << i;
        // The host reads the type and value back as 32-bit integers.
        EXPECT_EQ(s_burst[i].type, static_cast<int>(events[i].wParam)) << i;
        EXPECT_EQ(s_burst[i].value, static_cast<int>(events[i].lParam)) << i;
    }
}

TEST_F(HandsetCallbackTest, DropsEventsForAnUnknownContextOrADestroyedWindow)
{
    RegisterHandsetHost(&m_host, m_hWnd);
    int stranger = 0;
    EXPECT_EQ(0, HandsetCallback(11, 0x85, &stranger));
    EXPECT_EQ(0, HandsetCallback(11, 0x85, nullptr));

    ::DestroyWindow(m_hWnd);
    EXPECT_EQ(0, HandsetCallback(11, 0x85, &m_host));
    EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(HandsetCallbackTest, DropsEventsOnceTheHostHasWithdrawn)
{
    RegisterHandsetHost(&m_host, m_hWnd);
    UnregisterHandsetHost(&m_host);
    EXPECT_EQ(0, HandsetCallback(11, 0x85, &m_host));
    EXPECT_TRUE(TakeEvents().empty());

    // Withdrawing another host leaves the registered one in place.
    RegisterHandsetHost(&m_host, m_hWnd);
    int other = 0;
    UnregisterHandsetHost(&other);
    EXPECT_NE(0, HandsetCallback(11, 0x85, &m_host));
    EXPECT_EQ(1u, TakeEvents().size());
}

} // namespace
