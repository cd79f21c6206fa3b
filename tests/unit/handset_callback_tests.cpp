// The callback that carries handset events from the library's thread to the
// host: in order, from any thread, only for the host that registered, and
// never to a host that has gone.
#include "app/host_dialog.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"

#include <gtest/gtest.h>

#include <new>

namespace {

HWND FindHost()
{
    return ::FindWindowA(nullptr, HOST_WINDOW_CAPTION);
}

std::vector<MSG> TakeEvents(HWND hWnd)
{
    std::vector<MSG> events;
    MSG msg;
    while (::PeekMessageA(&msg, hWnd, WM_HANDSET_EVENT, WM_HANDSET_EVENT, PM_REMOVE))
        events.push_back(msg);
    return events;
}

struct Event {
    int type;
    int value;
};

// Any pair passes through, known to the program or not.
const Event s_burst[] = {
    {11, 0x85}, {11, 0x81}, {-1, 0}, {0, 300}, {4, 20}, {13, 0}, {11, 0x7FFFFFFF},
    {11, static_cast<int>(0x80000000u)}, {16, -1}, {15, 0}, {14, 0}, {11, 0x91},
};

DWORD WINAPI SendBurst(LPVOID pContext)
{
    for (const Event& e : s_burst)
        HandsetCallback(e.type, e.value, pContext);
    return 0;
}

// Runs fn on a thread of its own, as the library's thread would, and waits for it.
void OnOtherThread(LPTHREAD_START_ROUTINE fn, void* pParam)
{
    HANDLE hThread = ::CreateThread(nullptr, 0, fn, pParam, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hThread, 10000));
    ::CloseHandle(hThread);
}

TEST(HandsetCallback, PostsEventsInOrderOnlyForTheRegisteredHost)
{
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int host = 0, stranger = 0; // only their addresses matter: they are contexts
    RegisterHandsetHost(&host, hWnd);
    OnOtherThread(SendBurst, &host);
    std::vector<MSG> events = TakeEvents(hWnd);
    ASSERT_EQ(sizeof s_burst / sizeof s_burst[0], events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        // The host reads the type and value back as 32-bit integers.
        EXPECT_EQ(s_burst[i].type, static_cast<int>(events[i].wParam)) << i;
        EXPECT_EQ(s_burst[i].value, static_cast<int>(events[i].lParam)) << i;
    }

    EXPECT_EQ(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, &stranger));
    EXPECT_EQ(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, nullptr));
    UnregisterHandsetHost(&stranger);
    EXPECT_NE(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, &host)) << "withdrawing another host leaves this one";
    UnregisterHandsetHost(&host);
    EXPECT_EQ(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, &host));
    RegisterHandsetHost(&host, hWnd);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, &host)) << "a destroyed window";
    UnregisterHandsetHost(&host);
}

// The library may call back from several threads at once: each thread's
// events keep their order, and none is lost.
struct Sender {
    void* pHost;
    int nThread;
};

DWORD WINAPI SendNumbered(LPVOID pParam)
{
    auto pSender = static_cast<Sender*>(pParam);
    for (int i = 0; i < 100; ++i)
        HandsetCallback(QV_EVENT_KEY, (pSender->nThread << 16) | i, pSender->pHost);
    return 0;
}

TEST(HandsetCallback, EventsFromSeveralThreadsKeepEachThreadsOrder)
{
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int host = 0;
    RegisterHandsetHost(&host, hWnd);
    Sender senders[4];
    HANDLE hThreads[4];
    for (int t = 0; t < 4; ++t) {
        senders[t] = {&host, t};
        hThreads[t] = ::CreateThread(nullptr, 0, SendNumbered, &senders[t], CREATE_SUSPENDED, nullptr);
    }
    for (HANDLE hThread : hThreads)
        ::ResumeThread(hThread);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(4, hThreads, TRUE, 10000));
    std::vector<MSG> events = TakeEvents(hWnd);
    EXPECT_EQ(400u, events.size());
    int next[4] = {};
    for (const MSG& m : events)
        EXPECT_EQ(next[m.lParam >> 16]++, static_cast<int>(m.lParam & 0xFFFF)) << "thread " << (m.lParam >> 16);
    for (HANDLE hThread : hThreads)
        ::CloseHandle(hThread);
    UnregisterHandsetHost(&host);
    ::DestroyWindow(hWnd);
}

struct LateCaller {
    void* pHost;
    int nResultWhileOpen;
};

// Plays the library's thread: one event while the host runs, then ends it.
DWORD WINAPI CallThenCancel(LPVOID pParam)
{
    auto pCaller = static_cast<LateCaller*>(pParam);
    // Until the host has registered itself the callback drops events.
    WaitFor([&] { return (pCaller->nResultWhileOpen = HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, pCaller->pHost)) != 0; },
            10000);
    ::PostMessageA(FindHost(), WM_COMMAND, IDCANCEL, 0);
    return 0;
}

TEST(HostDialog, LateCallbacksNeverTouchTheHost)
{
    FakeHandsetReset(0);
    // The host lives in a page of its own, so that once it is gone the page
    // can be made unreadable: a callback that looked at it would crash.
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    ASSERT_LE(sizeof(CTandivorexDlg), si.dwPageSize);
    void* pPage = ::VirtualAlloc(nullptr, si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    auto pHost = new (pPage) CTandivorexDlg;
    LateCaller caller = {pHost, 0};
    HANDLE hThread = ::CreateThread(nullptr, 0, CallThenCancel, &caller, 0, nullptr);
    EXPECT_EQ(IDCANCEL, pHost->DoModal());
    ::WaitForSingleObject(hThread, 10000);
    ::CloseHandle(hThread);
    EXPECT_NE(0, caller.nResultWhileOpen) << "an event while the host runs is posted";
    EXPECT_EQ(0, HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 5, pHost)) << "window gone, object still there";

    pHost->~CTandivorexDlg();
    DWORD dwOld = 0;
    ASSERT_TRUE(::VirtualProtect(pPage, si.dwPageSize, PAGE_NOACCESS, &dwOld));
    // From the library's thread, as it would come: a crash there must fail the run.
    OnOtherThread(SendBurst, pHost);
    EXPECT_EQ(0, HandsetCallback(QV_EVENT_DEVICE_LOST, 0, pHost));
    ::VirtualFree(pPage, 0, MEM_RELEASE);
}

} // namespace
