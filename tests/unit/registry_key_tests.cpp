// The scoped registry key against the real Run key of the test prefix.
#include "tray/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char NAME[] = "TandivorexRegistryKeyTest";

class RegistryKeyTest : public ::testing::Test {
protected:
    ~RegistryKeyTest() override
    {
        CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY);
        key.DeleteValue(NAME);
    }
};

TEST_F(RegistryKeyTest, WritesReadsAndDeletesAValue)
{
    CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY);
    ASSERT_NE(nullptr, key.m_hKey);
    const char data[] = "\"C:\\Program Files\\x.exe\"";
    EXPECT_EQ(1, key.WriteValue(NAME, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data));

    char buffer[MAX_PATH] = {};
    DWORD dwType = 0;
    EXPECT_EQ(1, key.ReadValue(NAME, &dwType, reinterpret_cast<BYTE*>(buffer), sizeof buffer));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), dwType);
    EXPECT_STREQ(data, buffer);
    EXPECT_EQ(sizeof data, key.ValueSize(NAME));

    EXPECT_EQ(1, key.DeleteValue(NAME));
    EXPECT_EQ(0, key.DeleteValue(NAME)) << "nothing left to delete";
    EXPECT_EQ(0, key.ReadValue(NAME, nullptr, reinterpret_cast<BYTE*>(buffer), sizeof buffer));
    EXPECT_EQ(0u, key.ValueSize(NAME));
}

TEST_F(RegistryKeyTest, NullBuffersAndMissingKeysFailWithoutACall)
{
    EXPECT_EQ(nullptr, CRegistryKey::Open(nullptr, RUN_KEY));
    CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY);
    EXPECT_EQ(0, key.ReadValue(NAME, nullptr, nullptr, 10));
    EXPECT_EQ(0, key.WriteValue(NAME, REG_SZ, nullptr, 10));

    CRegistryKey missing(HKEY_CURRENT_USER, "Software\\NoSuchVendor\\NoSuchKey");
    EXPECT_EQ(nullptr, missing.m_hKey) << "the key is opened, never created";
    BYTE b = 0;
    EXPECT_EQ(0, missing.WriteValue(NAME, REG_BINARY, &b, 1));
    EXPECT_EQ(0, missing.ReadValue(NAME, nullptr, &b, 1));
    EXPECT_EQ(0, missing.DeleteValue(NAME));
}

TEST_F(RegistryKeyTest, ALongerValueFailsToReadAndNeverWritesPastTheBuffer)
{
    CRegistryKey key(HKEY_CURRENT_USER, RUN_KEY);
    std::string longValue(400, 'L');
    ASSERT_EQ(1, key.WriteValue(NAME, REG_SZ, reinterpret_cast<const BYTE*>(longValue.c_str()),
                                static_cast<DWORD>(longValue.size() + 1)));

    // A 260-byte buffer between two guard areas.
    BYTE guarded[64 + MAX_PATH + 64];
    std::memset(guarded, 0xA5, sizeof guarded);
    EXPECT_EQ(0, key.ReadValue(NAME, nullptr, guarded + 64, MAX_PATH));
    for (size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(0xA5, guarded[i]) << "before the buffer, byte " << i;
        ASSERT_EQ(0xA5, guarded[64 + MAX_PATH + i]) << "after the buffer, byte " << i;
    }
    EXPECT_EQ(longValue.size() + 1, key.ValueSize(NAME));
}

} // namespace
