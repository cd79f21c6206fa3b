// The supervisor in a running host, with a double of the handset library and
// real windows standing in for the softphone. Ticks are sent by the tests,
// but for the one test of the timers' period.
#include "host_thread.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_handset_library.h"
#include "tests/support/foreground_rule.h"
#include "tests/support/known_values.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The tests play the softphone: a window as the softphone's is known to be.
using known::PHONE_CLASS;
using known::PHONE_TITLE;

// The status the host's icon shows, read from its record.
::testing::AssertionResult Shows(CTandivorexDlg& dlg, UINT nIconId, const char* pszTip)
{
    if (dlg.m_tray.m_nid.hIcon != LoadTrayPicture(nIconId))
        return ::testing::AssertionFailure() << "icon is not resource " << nIconId;
    if (std::strcmp(dlg.m_tray.m_nid.szTip, pszTip) != 0)
        return ::testing::AssertionFailure() << "tip is \"" << dlg.m_tray.m_nid.szTip << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Connected(CTandivorexDlg& dlg)
{
    return Shows(dlg, IDR_MAINFRAME, "Connect successfully");
}

// A tick of each timer, twice: the handset is opened, then the softphone found.
::testing::AssertionResult ConnectsTo(CHostThread& host, const CMessageRecorder& phone)
{
    host.TickBoth();
    host.TickBoth();
    if (host.Dlg().m_hPhoneWnd != phone.Window())
        return ::testing::AssertionFailure() << "the softphone was not recorded";
    return ::testing::AssertionSuccess();
}

int CountKeyDowns(const std::vector<RecordedMessage>& messages, WPARAM vk)
{
    int n = 0;
    for (const RecordedMessage& m : messages)
        n += m.message == WM_KEYDOWN && m.wParam == vk ? 1 : 0;
    return n;
}

const ExpectedMessage SEVEN[] = {{WM_KEYDOWN, '7', known::KEY_LPARAM}, {WM_KEYUP, '7', known::KEY_LPARAM}, {0, 0, 0}};

TEST(Supervisor, WithNoHandsetItRetriesEverySecondAndNeverLooksForThePhone)
{
    FakeHandsetReset(0);
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    CHostThread host(CHostThread::TIMER_TICKS);
    host.Sync();
    EXPECT_TRUE(Shows(host.Dlg(), IDI_NO_DEVICE, "Can't find USB device")) << "right after start";

    // Two and a half periods: two ticks, or three where the first came early.
    ::Sleep(2500);
    host.Sync();
    size_t nOpens = FakeHandsetCount(QV_CODE_OPEN);
    EXPECT_GE(nOpens, 2u);
    EXPECT_LE(nOpens, 3u);
    for (const FakeHandsetCall& call : FakeHandsetCalls()) {
        EXPECT_EQ(QV_CODE_OPEN, call.code);
        EXPECT_EQ(&HandsetCallback, call.callback);
        EXPECT_EQ(static_cast<void*>(&host.Dlg()), call.context);
    }
    EXPECT_TRUE(Shows(host.Dlg(), IDI_NO_DEVICE, "Can't find USB device"));
    EXPECT_EQ(nullptr, host.Dlg().m_bridge.m_hTarget) << "the phone is not looked for while closed";
}

TEST(Supervisor, FollowsHandsetAndSoftphoneComingAndGoing)
{
    FakeHandsetReset(1);
    CHostThread host;
    CTandivorexDlg& dlg = host.Dlg();
    host.TickBoth();
    EXPECT_TRUE(Shows(dlg, IDI_NO_PHONE, "Can't find software phone")) << "open, no softphone";
    host.TickBoth();
    EXPECT_EQ(1u, FakeHandsetCount(QV_CODE_OPEN)) << "no second open while the device is open";

    {
        CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
        host.Tick(TIMER_FIND_PHONE);
        EXPECT_TRUE(Connected(dlg));
        EXPECT_EQ(phone.Window(), dlg.m_bridge.m_hTarget);
        EXPECT_EQ(phone.Window(), dlg.m_hPhoneWnd);

        // A key from the handset reaches the softphone through the host's queue.
        HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 7, &dlg);
        host.Sync();
        phone.Flush();
        EXPECT_SEQUENCE(phone.Take(), SEVEN, "event 11 through the host");

        // Unplugged: closed at once, then reopened on the next tick, and
        // connected again at once since the window is still recorded.
        FakeHandsetSetOpenResult(0);
        HandsetCallback(QV_EVENT_DEVICE_LOST, 0, &dlg);
        host.Sync();
        EXPECT_TRUE(Shows(dlg, IDI_NO_DEVICE, "Can't find USB device"));
        EXPECT_EQ(1u, FakeHandsetCount(QV_CODE_CLOSE));
        EXPECT_EQ(0, dlg.m_bDeviceOpen);
        FakeHandsetSetOpenResult(1);
        host.Tick(TIMER_OPEN_DEVICE);
        EXPECT_TRUE(Connected(dlg));
    }

    // The softphone went away: no softphone, but the bridge keeps its target.
    HWND hOldTarget = dlg.m_bridge.m_hTarget;
    host.TickBoth();
    EXPECT_TRUE(Shows(dlg, IDI_NO_PHONE, "Can't find software phone"));
    EXPECT_EQ(hOldTarget, dlg.m_bridge.m_hTarget);
    EXPECT_EQ(0, dlg.m_bPhoneKnown);

    // A new softphone window is recorded, targeted, and the phone state reset.
    dlg.m_bridge.m_nState = 258;
    CMessageRecorder phone2(PHONE_CLASS, PHONE_TITLE);
    host.TickBoth();
    EXPECT_TRUE(Connected(dlg));
    EXPECT_EQ(phone2.Window(), dlg.m_bridge.m_hTarget);
    EXPECT_EQ(KEY_STATE_NONE, dlg.m_bridge.m_nState);
}

// A softphone closed and started again before a tick could see it gone: while
// the handset was out (nobody looks then), or between two ticks. The new
// window is found as a first one: targeted, the phone state reset, no Escape.
TEST(Supervisor, ASoftphoneStartedAgainIsFoundAfresh)
{
    for (bool bWhileUnplugged : {true, false}) {
        SCOPED_TRACE(bWhileUnplugged ? "while the handset was out" : "between two ticks");
        FakeHandsetReset(1);
        CHostThread host;
        CTandivorexDlg& dlg = host.Dlg();
        auto pFirst = new CMessageRecorder(PHONE_CLASS, PHONE_TITLE);
        host.TickBoth();
        host.TickBoth();
        ASSERT_EQ(pFirst->Window(), dlg.m_bridge.m_hTarget);

        if (bWhileUnplugged) {
            FakeHandsetSetOpenResult(0);
            HandsetCallback(QV_EVENT_DEVICE_LOST, 0, &dlg);
            host.TickBoth();
        }
        delete pFirst;
        CMessageRecorder second(PHONE_CLASS, PHONE_TITLE);
        dlg.m_bridge.m_nState = 258;
        FakeHandsetSetOpenResult(1);
        for (int i = 0; i < 3; ++i)
            host.TickBoth();

        EXPECT_EQ(second.Window(), dlg.m_hPhoneWnd);
        EXPECT_EQ(second.Window(), dlg.m_bridge.m_hTarget);
        EXPECT_EQ(KEY_STATE_NONE, dlg.m_bridge.m_nState);
        EXPECT_TRUE(Connected(dlg));
        HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 7, &dlg);
        host.Sync();
        second.Flush();
        EXPECT_SEQUENCE(second.Take(), SEVEN, "a key after the new window was found");
    }
}

// Another window of the softphone's kind in front of the recorded one is
// brought up and sent an Escape each tick; the Escape goes to whatever window
// is in front, so only when that is the rival. Another program's window is in
// front of both, and Windows' rule decides (the stand-ins; Wine has none):
// the rival comes up, or where Windows refuses, no Escape goes anywhere.
TEST(Supervisor, ARivalWindowInFrontIsSentEscapeOnlyWhenItCameToTheFront)
{
    for (bool bRefused : {false, true}) {
        SCOPED_TRACE(bRefused ? "Windows refused the foreground" : "the rival came to the front");
        FakeHandsetReset(1);
        CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
        CHostThread host;
        CTandivorexDlg& dlg = host.Dlg();
        ASSERT_TRUE(ConnectsTo(host, phone));

        // Made last, the rival is first in z-order, so the lookup returns it.
        CMessageRecorder rival(PHONE_CLASS, PHONE_TITLE);
        ASSERT_EQ(rival.Window(), ::FindWindowA(PHONE_CLASS, PHONE_TITLE));
        CMessageRecorder other("SupervisorOther", "other");
        MakeForeground(other, {&rival, &phone});
        dlg.m_bridge.m_pfnSetForegroundWindow = bRefused ? SetForegroundWindowRefused : SetForegroundWindowByTheRule;
        phone.Take();
        // Wine activates the rival on its own thread, when that thread next
        // reads its queue (Windows at once, the threads' input being attached):
        // the first tick's Escape depends on which came first, the second's not.
        host.Tick(TIMER_FIND_PHONE);
        rival.Flush();
        host.Tick(TIMER_FIND_PHONE);
        // Typed keys are read after posted ones, so no marker tells when they
        // are all in: the time it takes them to arrive, or for none to.
        int nEscapes = 0;
        std::vector<RecordedMessage> stray;
        auto takeStray = [&] {
            for (const RecordedMessage& m : other.Take())
                stray.push_back(m);
        };
        WaitFor([&] {
            takeStray();
            return (nEscapes += CountKeyDowns(rival.Take(), VK_ESCAPE)) >= 2;
        }, bRefused ? 300 : 1000);
        phone.Flush();
        other.Flush();
        takeStray();

        EXPECT_GE(nEscapes, bRefused ? 0 : 1) << "an Escape press once the rival is in front";
        EXPECT_LE(nEscapes, bRefused ? 0 : 2) << "one Escape press a tick at most";
        EXPECT_TRUE(stray.empty()) << "keys for the program in front: no Escape, nor an ALT (a tick is not the user asking)";
        EXPECT_EQ(bRefused ? other.Window() : rival.Window(), ::GetForegroundWindow());
        EXPECT_EQ(phone.Window(), dlg.m_hPhoneWnd) << "the recorded window stays recorded";
        EXPECT_EQ(phone.Window(), dlg.m_bridge.m_hTarget);
        EXPECT_TRUE(Connected(dlg));
        EXPECT_TRUE(phone.Take().empty()) << "the recorded window gets no keys";
    }
}

// Window handles are reused: the recorded window, its handle alive but now
// another program's window (here its title changed), counts as gone. Seen
// when the handset comes back, and when a softphone window appears, which is
// then a first one, not a rival.
TEST(Supervisor, ARecordedWindowThatIsNoLongerTheSoftphoneCountsAsGone)
{
    FakeHandsetReset(1);
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    CHostThread host;
    CTandivorexDlg& dlg = host.Dlg();
    ASSERT_TRUE(ConnectsTo(host, phone));

    FakeHandsetSetOpenResult(0);
    HandsetCallback(QV_EVENT_DEVICE_LOST, 0, &dlg);
    host.Sync();
    ::SetWindowTextA(phone.Window(), "Untitled - Notepad");
    FakeHandsetSetOpenResult(1);
    host.Tick(TIMER_OPEN_DEVICE);
    EXPECT_TRUE(Shows(dlg, IDI_NO_PHONE, "Can't find software phone")) << "plugged in again";
    EXPECT_EQ(nullptr, dlg.m_hPhoneWnd);

    dlg.m_bridge.m_nState = 258;
    CMessageRecorder second(PHONE_CLASS, PHONE_TITLE);
    host.Tick(TIMER_FIND_PHONE);
    EXPECT_TRUE(Connected(dlg));
    EXPECT_EQ(second.Window(), dlg.m_hPhoneWnd);
    EXPECT_EQ(second.Window(), dlg.m_bridge.m_hTarget);
    EXPECT_EQ(KEY_STATE_NONE, dlg.m_bridge.m_nState);
}

// A softphone that stops reading its queue (hung) must not stop the host:
// bringing it forward waits for nothing, and once Windows calls it hung it is
// not activated at all. Its keys still wait in its queue. A host held up in a
// call to the softphone still answers messages sent to it, but nothing posted:
// handset events, ticks, the tray's clicks.
TEST(Supervisor, AHungSoftphoneLeavesTheHostAnswering)
{
    FakeHandsetReset(1, 77);
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    CMessageRecorder other("SupervisorOther", "other");
    CHostThread host;
    CTandivorexDlg& dlg = host.Dlg();
    host.TickBoth();
    host.TickBoth();
    ASSERT_EQ(phone.Window(), dlg.m_bridge.m_hTarget);
    // Minimised, so that bringing it forward restores it: Wine, too, waits
    // for another thread's window to restore or hide.
    ::ShowWindow(phone.Window(), SW_MINIMIZE);
    ::SetForegroundWindow(other.Window());
    phone.Hang();

    auto answers = [&](WPARAM state) {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(host.Window(), WM_PHONE_STATE, state, 0, SMTO_NORMAL, 3000, &result) != 0 &&
               result == 77;
    };
    // A key, an activation, and with forwarding off, a hide.
    const struct { int type; int value; } events[] = {{QV_EVENT_KEY, QV_KEY_0 + 7}, {QV_EVENT_ACTIVATE, 0}, {QV_EVENT_FORWARD_OFF, 0},
                                                       {QV_EVENT_ESCAPE, 0}, {QV_EVENT_FORWARD_ON, 0}};
    for (const auto& e : events)
        HandsetCallback(e.type, e.value, &dlg);
    // And a tick, which looks at the recorded window's title.
    ::PostMessageA(host.Window(), WM_TIMER, TIMER_FIND_PHONE, 0);
    EXPECT_TRUE(host.Sync(3000)) << "the host stopped with the softphone";
    EXPECT_TRUE(answers(258));

    // Five seconds without reading its queue, and Windows calls a window hung.
    ASSERT_TRUE(WaitFor([&] { return ::IsHungAppWindow(phone.Window()) != FALSE; }, 8000));
    ::SetForegroundWindow(other.Window());
    HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 7, &dlg);
    EXPECT_TRUE(host.Sync(3000));
    EXPECT_TRUE(answers(260));
    EXPECT_EQ(other.Window(), ::GetForegroundWindow()) << "a hung window is not activated";

    ::PostMessageA(host.Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
    phone.Resume(); // a host that did wait for it goes on now, and the test ends
    EXPECT_EQ(-1, host.Join()) << "Exit ends the host";
    phone.Flush();
    EXPECT_EQ(2, CountKeyDowns(phone.Take(), '7')) << "the keys waited in the softphone's queue";
}

// The program in front has stopped reading its queue. Sharing its input
// state would make the activation wait for it: the host waits for nothing,
// and under Windows' rule the softphone still comes up (by the injected ALT,
// which waits in that program's queue) and gets its key.
TEST(Supervisor, AHungProgramInFrontNeitherStopsTheHostNorKeepsTheSoftphoneBehind)
{
    FakeHandsetReset(1);
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    CMessageRecorder other("SupervisorOther", "other");
    CHostThread host;
    CTandivorexDlg& dlg = host.Dlg();
    ASSERT_TRUE(ConnectsTo(host, phone));
    dlg.m_bridge.m_pfnSetForegroundWindow = SetForegroundWindowByTheRule;
    MakeForeground(other, {&phone});
    other.Hang();

    HandsetCallback(QV_EVENT_KEY, QV_KEY_0 + 7, &dlg);
    EXPECT_TRUE(host.Sync(3000)) << "the host waited for the program in front";
    phone.Flush(); // the softphone's thread has handled its activation
    EXPECT_EQ(phone.Window(), ::GetForegroundWindow()) << "the softphone stayed behind";
    other.Resume(); // a host that did wait for it goes on now, and the test ends
    EXPECT_TRUE(host.Sync());
    phone.Flush();
    EXPECT_SEQUENCE(phone.Take(), SEVEN, "a key from behind a hung program");
}

// The state goes through the host's message, as phonestate sends it, which
// prints the answer as a signed 32-bit number.
TEST(Supervisor, PhoneStatesGoThroughTheHostAndAreSentAgainForANewSoftphone)
{
    FakeHandsetReset(1, -1);
    CHostThread host;
    auto send = [](const char* pszState) {
        std::string out;
        EXPECT_EQ(0u, RunAndCapture("phonestate.exe", pszState, &out)) << pszState;
        return out;
    };
    EXPECT_EQ("-1\r\n", send("258")) << "the library's answer";
    EXPECT_EQ("258\r\n", send("0x102")) << "a repeat returns the state itself";
    EXPECT_EQ(1u, FakeHandsetCount(0x1004));
    EXPECT_EQ("-257\r\n", send("0"));

    // A softphone window found resets the remembered state: 258 goes out again.
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    host.TickBoth();
    host.TickBoth();
    ASSERT_TRUE(Connected(host.Dlg()));
    EXPECT_EQ("-1\r\n", send("258"));
    EXPECT_EQ(2u, FakeHandsetCount(0x1004));
}

// The maker's library may call back at odd moments; each of these plays one
// that does, on the host's own thread inside its call.
void KeysAndALossInsideTheFirstOpen(DWORD code, QV_HANDSET_CALLBACK callback, void* context)
{
    if (code == QV_CODE_OPEN && FakeHandsetCount(QV_CODE_OPEN) == 1) {
        callback(QV_EVENT_KEY, QV_KEY_0 + 1, context);
        callback(QV_EVENT_DEVICE_LOST, 0, context);
        callback(QV_EVENT_KEY, QV_KEY_0 + 2, context);
    }
}

void EventsForAContextItWasNeverGiven(DWORD code, QV_HANDSET_CALLBACK callback, void* context)
{
    if (code == QV_CODE_OPEN) {
        callback(QV_EVENT_DEVICE_LOST, 0, static_cast<char*>(context) + 1);
        callback(QV_EVENT_KEY, QV_KEY_0 + 1, nullptr);
    }
}

TEST(Supervisor, AMisbehavingLibraryNeitherHangsNorConfusesTheHost)
{
    const struct { const char* what; FakeHandsetHook hook; int nOpenResult; size_t nCloses; } rows[] = {
        {"keys and a loss inside the first open", KeysAndALossInsideTheFirstOpen, 1, 1},
        {"events for another context", EventsForAContextItWasNeverGiven, 1, 0},
        {"a negative open result, which means open", nullptr, -5, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeHandsetReset(row.nOpenResult);
        FakeHandsetSetHook(row.hook);
        CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
        CHostThread host;
        // Reopened after a loss only, and found the softphone; then steady.
        for (int i = 0; i < 4; ++i)
            host.TickBoth();
        EXPECT_TRUE(Connected(host.Dlg()));
        EXPECT_EQ(row.nCloses, FakeHandsetCount(QV_CODE_CLOSE));
        EXPECT_EQ(row.nCloses + 1, FakeHandsetCount(QV_CODE_OPEN));
        phone.Flush();
        EXPECT_TRUE(phone.Take().empty()) << "keys before the softphone was found, or for a stranger, go nowhere";
    }
}

void* s_pClosingHost = nullptr;
HANDLE s_hLateCaller = nullptr;

DWORD WINAPI CallBackForAWhile(LPVOID)
{
    for (int i = 0; i < 200; ++i) {
        HandsetCallback(i % 2 ? QV_EVENT_KEY : QV_EVENT_DEVICE_LOST, QV_KEY_0 + 5, s_pClosingHost);
        ::Sleep(1);
    }
    return 0;
}

// Close returns while the library's thread still has events to deliver, and
// delivers them after.
void EventsInFlightAtClose(DWORD code, QV_HANDSET_CALLBACK, void*)
{
    if (code == QV_CODE_CLOSE && s_hLateCaller == nullptr)
        s_hLateCaller = ::CreateThread(nullptr, 0, CallBackForAWhile, nullptr, 0, nullptr);
}

TEST(Supervisor, EventsAfterTheLibraryClosedAreHarmless)
{
    FakeHandsetReset(1);
    FakeHandsetSetHook(EventsInFlightAtClose);
    CMessageRecorder phone(PHONE_CLASS, PHONE_TITLE);
    CHostThread host;
    host.TickBoth();
    host.TickBoth();
    ASSERT_TRUE(Connected(host.Dlg()));
    s_pClosingHost = &host.Dlg();
    ::PostMessageA(host.Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(-1, host.Join()) << "Exit ends the host while events keep coming";
    ASSERT_NE(nullptr, s_hLateCaller);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(s_hLateCaller, 10000));
    ::CloseHandle(s_hLateCaller);
    // Run again (--gtest_repeat), the test starts a caller of its own.
    s_hLateCaller = nullptr;
}

} // namespace
