// The phone-state relay: states to handset commands, each state once.
#include "bridge/key_bridge.h"

#include "tests/support/fake_handset_library.h"

#include <gtest/gtest.h>

namespace {

const int COMMAND_RESULT = 77;

class PhoneStateTest : public ::testing::Test {
protected:
    PhoneStateTest() { FakeHandsetReset(0, COMMAND_RESULT); }

    // Applies a state and returns the commands it sent.
    std::vector<DWORD> Apply(int state, int* pResult)
    {
        size_t nBefore = FakeHandsetCalls().size();
        *pResult = m_bridge.ApplyPhoneState(state, 12345);
        std::vector<DWORD> codes;
        std::vector<FakeHandsetCall> calls = FakeHandsetCalls();
        for (size_t i = nBefore; i < calls.size(); ++i) {
            codes.push_back(calls[i].code);
            EXPECT_EQ(nullptr, calls[i].callback);
            EXPECT_EQ(nullptr, calls[i].context);
        }
        return codes;
    }

    CKeyBridge m_bridge;
};

TEST_F(PhoneStateTest, EachStateSendsItsCommandAndIsRemembered)
{
    struct {
        int state;
        DWORD command;
        int remembered;
    } const table[] = {
        {257, 0x1001, 257}, {258, 0x1004, 258}, {259, 0x1004, 258}, {260, 0x1005, 260},
        {261, 0x1006, 261}, {262, 0x1003, 262}, {263, 0x1001, 263}, {264, 0x1001, 264},
    };
    for (const auto& row : table) {
        m_bridge.m_nState = KEY_STATE_NONE;
        int nResult = 0;
        EXPECT_EQ(std::vector<DWORD>{row.command}, Apply(row.state, &nResult)) << row.state;
        EXPECT_EQ(COMMAND_RESULT, nResult) << "the library's result goes back to the sender";
        EXPECT_EQ(row.remembered, m_bridge.m_nState) << row.state;
    }
}

TEST_F(PhoneStateTest, ARepeatedStateSendsNothingAndReturnsItself)
{
    int nResult = 0;
    Apply(258, &nResult);
    EXPECT_TRUE(Apply(258, &nResult).empty());
    EXPECT_EQ(258, nResult);

    // 259 is remembered as 258, so it is sent again, and 258 after it is not.
    EXPECT_EQ(std::vector<DWORD>{0x1004}, Apply(259, &nResult));
    EXPECT_EQ(std::vector<DWORD>{0x1004}, Apply(259, &nResult));
    EXPECT_TRUE(Apply(258, &nResult).empty());

    // 257, 263 and 264 share a command, but each is its own state.
    for (int state : {257, 263, 264, 257})
        EXPECT_EQ(std::vector<DWORD>{0x1001}, Apply(state, &nResult)) << state;
}

TEST_F(PhoneStateTest, UnknownStatesSendNothingAndReturnStateLess257)
{
    int nResult = 0;
    EXPECT_TRUE(Apply(256, &nResult).empty());
    EXPECT_EQ(256, nResult) << "256 is the remembered state at first";

    Apply(260, &nResult);
    const struct {
        int state;
        int result;
    } cases[] = {
        {256, -1}, {300, 43}, {265, 8}, {0, -257}, {-1, -258},
        {static_cast<int>(0x80000000u), 0x7FFFFEFF}, {0x7FFFFFFF, 0x7FFFFEFE},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Apply(c.state, &nResult).empty()) << c.state;
        EXPECT_EQ(c.result, nResult) << c.state;
        EXPECT_EQ(260, m_bridge.m_nState) << "unknown states are not remembered";
    }
}

} // namespace
