// phonestate, the command-line sender of phone states, on its own: its
// answers when there is nothing to send to, or nothing to send. What it gets
// from a running host is in the supervisor's tests.
#include "app/outside_interface.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

namespace {

// phonestate's own answers when there is nothing to send to, or nothing to send.
TEST(Phonestate, RefusesBadArgumentsAndAnAbsentProgram)
{
    ASSERT_EQ(nullptr, ::FindWindowA(nullptr, HOST_WINDOW_CAPTION));
    std::string out, err;
    EXPECT_EQ(1u, RunAndCapture("phonestate.exe", "257", &out, 15000, &err));
    EXPECT_EQ("phonestate: Tandivorex is not running\r\n", err);
    for (const char* pszArgs : {"abc", "99999999999", "0x", "-", "\"\"", "1 2"}) {
        EXPECT_EQ(2u, RunAndCapture("phonestate.exe", pszArgs, &out, 15000, &err)) << pszArgs;
        EXPECT_EQ("", out);
        EXPECT_NE(std::string::npos, err.find("usage: phonestate STATE")) << err;
    }
}

} // namespace
