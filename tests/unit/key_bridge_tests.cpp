// The key bridge against real target windows on another thread.
#include "bridge/key_bridge.h"

#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

namespace {

const LPARAM KEY_LPARAM = 0x0001C001;

const UINT EVENT_KEY = 11;

class KeyBridgeTest : public ::testing::Test {
protected:
    KeyBridgeTest()
        : m_target("KeyBridgeTarget", "target")
        , m_other("KeyBridgeOther", "other")
    {
        m_bridge.m_hTarget = m_target.Window();
    }

    // Gives the foreground to the other window, so that a change is visible.
    void MakeOtherForeground()
    {
        m_bridge.BringToFront(m_other.Window());
        ASSERT_EQ(m_other.Window(), ::GetForegroundWindow());
    }

    std::vector<RecordedMessage> Keys()
    {
        m_target.Flush();
        return m_target.Take();
    }

    CMessageRecorder m_target;
    CMessageRecorder m_other;
    CKeyBridge m_bridge;
};

// The virtual key the target must receive for a handset key byte; 0 for none.
UINT ExpectedKey(int byte)
{
    if (byte >= 0x80 && byte <= 0x89)
        return '0' + (byte - 0x80);
    switch (byte) {
    case 0x8B: return VK_MULTIPLY;
    case 0x8C: return VK_DIVIDE;
    case 0x8D: return VK_DOWN;
    case 0x8E: return VK_UP;
    case 0x91: return VK_RETURN;
    default: return 0;
    }
}

TEST_F(KeyBridgeTest, DigitComesToFrontThenDownAndUpHeld100ms)
{
    MakeOtherForeground();
    m_bridge.HandleEvent(EVENT_KEY, 0x85);
    EXPECT_EQ(m_target.Window(), ::GetForegroundWindow());

    std::vector<RecordedMessage> got = Keys();
    static const ExpectedMessage expected[] = {
        {WM_KEYDOWN, '5', KEY_LPARAM},
        {WM_KEYUP, '5', KEY_LPARAM},
        {0, 0, 0},
    };
    EXPECT_SEQUENCE(got, expected, "event 11, 0x85");
    ASSERT_EQ(2u, got.size());
    double held = got[1].timeMs - got[0].timeMs;
    EXPECT_GE(held, 90.0);
    EXPECT_LE(held, 300.0);
}

TEST_F(KeyBridgeTest, WholeKeyTableOnlyLowByteCounts)
{
    for (int byte = 0; byte < 256; ++byte) {
        // Bits above the low byte must not matter, nor the sign.
        int value = (byte % 2 ? 0x7ABC1200 : static_cast<int>(0xFFFFFF00u)) | byte;
        m_bridge.HandleEvent(EVENT_KEY, value);

        UINT vk = ExpectedKey(byte);
        ExpectedMessage expected[] = {
            {WM_KEYDOWN, vk, KEY_LPARAM},
            {WM_KEYUP, vk, KEY_LPARAM},
            {0, 0, 0},
        };
        char what[64];
        sprintf(what, "event 11, byte 0x%02X", byte);
        EXPECT_SEQUENCE(Keys(), vk != 0 ? expected : expected + 2, what);
    }
}

TEST_F(KeyBridgeTest, UnmappedKeysStillBringTheTargetToFront)
{
    for (int value : {0x8A, 0x8F, 0x90, 0x00, 0x7F, 0x92, 0xFF}) {
        MakeOtherForeground();
        m_bridge.HandleEvent(EVENT_KEY, value);
        EXPECT_EQ(m_target.Window(), ::GetForegroundWindow()) << "value 0x" << std::hex << value;
        EXPECT_TRUE(Keys().empty());
    }
}

TEST_F(KeyBridgeTest, MinimisedTargetIsRestored)
{
    ::ShowWindow(m_target.Window(), SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(m_target.Window()));
    m_bridge.HandleEvent(12, 0);
    EXPECT_FALSE(::IsIconic(m_target.Window()));
    EXPECT_TRUE(::IsWindowVisible(m_target.Window()));
    EXPECT_EQ(m_target.Window(), ::GetForegroundWindow());
}

TEST_F(KeyBridgeTest, ForwardingOffStopsKeysAndMakesEscapeHide)
{
    m_bridge.HandleEvent(15, 0);
    MakeOtherForeground();
    m_bridge.HandleEvent(EVENT_KEY, 0x85);
    EXPECT_EQ(m_other.Window(), ::GetForegroundWindow()) << "forwarding off must not activate";
    EXPECT_TRUE(Keys().empty());

    m_bridge.HandleEvent(13, 0);
    EXPECT_FALSE(::IsWindowVisible(m_target.Window()));
    EXPECT_TRUE(Keys().empty()) << "no Escape while forwarding is off";

    m_bridge.HandleEvent(14, 0);
    m_bridge.HandleEvent(EVENT_KEY, 0x81);
    static const ExpectedMessage one[] = {{WM_KEYDOWN, '1', KEY_LPARAM}, {WM_KEYUP, '1', KEY_LPARAM}, {0, 0, 0}};
    EXPECT_SEQUENCE(Keys(), one, "event 14 turns forwarding back on");
    EXPECT_TRUE(::IsWindowVisible(m_target.Window())) << "a forwarded key shows the target again";
}

TEST_F(KeyBridgeTest, EscapeWhileForwardingIsPressedWithoutActivating)
{
    MakeOtherForeground();
    m_bridge.HandleEvent(13, 0);
    EXPECT_EQ(m_other.Window(), ::GetForegroundWindow());
    static const ExpectedMessage escape[] = {
        {WM_KEYDOWN, VK_ESCAPE, KEY_LPARAM}, {WM_KEYUP, VK_ESCAPE, KEY_LPARAM}, {0, 0, 0}};
    EXPECT_SEQUENCE(Keys(), escape, "event 13 while forwarding");
    EXPECT_TRUE(::IsWindowVisible(m_target.Window()));
}

TEST_F(KeyBridgeTest, ExtendedKeySetIsEnabledOnlyByEventZeroInRange)
{
    // Before any event 0, type 4 does nothing.
    m_bridge.HandleEvent(4, 20);
    EXPECT_TRUE(Keys().empty());

    for (int outside : {255, 399, -1, 0, 0x7FFFFFFF, static_cast<int>(0x80000100u)}) {
        m_bridge.HandleEvent(0, outside);
        EXPECT_EQ(KEYSET_BASIC, m_bridge.m_nKeySet) << outside;
    }
    m_bridge.HandleEvent(4, 20);
    EXPECT_TRUE(Keys().empty());

    m_bridge.HandleEvent(15, 0);
    m_bridge.HandleEvent(0, 398);
    EXPECT_EQ(KEYSET_EXTENDED, m_bridge.m_nKeySet);
    EXPECT_EQ(1, m_bridge.m_bForward) << "event 0 in range turns forwarding back on";

    // Type 4 works whatever forwarding is, and never activates the target.
    m_bridge.HandleEvent(15, 0);
    MakeOtherForeground();
    for (int value : {4, 20, 35, 5, 0, 36})
        m_bridge.HandleEvent(4, value);
    EXPECT_EQ(m_other.Window(), ::GetForegroundWindow());
    static const ExpectedMessage extended[] = {
        {WM_KEYDOWN, VK_RIGHT, KEY_LPARAM}, {WM_KEYUP, VK_RIGHT, KEY_LPARAM},
        {WM_KEYDOWN, VK_F5, KEY_LPARAM},    {WM_KEYUP, VK_F5, KEY_LPARAM},
        {WM_KEYDOWN, VK_LEFT, KEY_LPARAM},  {WM_KEYUP, VK_LEFT, KEY_LPARAM},
        {0, 0, 0}};
    EXPECT_SEQUENCE(Keys(), extended, "type 4 with the extended set");

    // Nothing sets the basic set back.
    m_bridge.HandleEvent(0, 255);
    EXPECT_EQ(KEYSET_EXTENDED, m_bridge.m_nKeySet);
}

TEST_F(KeyBridgeTest, LowerEdgeOfEventZero)
{
    m_bridge.HandleEvent(0, 256);
    EXPECT_EQ(KEYSET_EXTENDED, m_bridge.m_nKeySet);
}

TEST_F(KeyBridgeTest, OtherTypesChangeNothing)
{
    const UINT types[] = {1, 2, 3, 5, 6, 7, 8, 9, 10, 16, 17, 0x100, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
    MakeOtherForeground();
    for (UINT type : types) {
        m_bridge.HandleEvent(type, 0x85);
        EXPECT_EQ(1, m_bridge.m_bForward) << type;
        EXPECT_EQ(KEYSET_BASIC, m_bridge.m_nKeySet) << type;
        EXPECT_EQ(KEY_STATE_NONE, m_bridge.m_nState) << type;
        EXPECT_EQ(m_target.Window(), m_bridge.m_hTarget) << type;
    }
    EXPECT_EQ(m_other.Window(), ::GetForegroundWindow());
    EXPECT_TRUE(::IsWindowVisible(m_target.Window()));
    EXPECT_TRUE(Keys().empty());
}

TEST(KeyBridgeWithoutTarget, PostsNothingAnywhere)
{
    CKeyBridge bridge;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    bridge.HandleEvent(EVENT_KEY, 0x85);
    bridge.HandleEvent(13, 0);
    bridge.HandleEvent(0, 300);
    bridge.HandleEvent(4, 20);
    bridge.HandleEvent(12, 0);
    // A post to a null window would land in this thread's own queue.
    EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        << "message 0x" << std::hex << msg.message;
}

} // namespace
