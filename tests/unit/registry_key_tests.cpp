// The registry wrapper on its own, in a key of the test prefix's registry
// made for the test.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // RegSetKeyValue and friends
#include "tray/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char TEST_KEY[] = "Software\\Tandivorex tests";

TEST(RegistryKey, AValueLongerThanTheBufferIsNeverReadPastIt)
{
    std::string longValue(400, 'L');
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, TEST_KEY, "long", REG_SZ, longValue.c_str(),
                                               static_cast<DWORD>(longValue.size() + 1)));
    {
        CRegistryKey key(HKEY_CURRENT_USER, TEST_KEY);
        BYTE guarded[64 + MAX_PATH + 64];
        std::memset(guarded, 0xA5, sizeof guarded);
        EXPECT_EQ(0, key.ReadValue("long", nullptr, guarded + 64, MAX_PATH));
        for (size_t i = 0; i < 64; ++i) {
            ASSERT_EQ(0xA5, guarded[i]) << "before the buffer, byte " << i;
            ASSERT_EQ(0xA5, guarded[64 + MAX_PATH + i]) << "after the buffer, byte " << i;
        }
        EXPECT_EQ(longValue.size() + 1, key.ValueSize("long"));
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, TEST_KEY);
}

} // namespace
