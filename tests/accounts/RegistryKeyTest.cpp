#include "accounts/RegistryKey.h"

#include "accounts/ProfileKey.h"
#include "accounts/ProfileStore.h"

#include <gtest/gtest.h>

namespace {

using RegistryKeyTest = ProfileKeyTest;

} // namespace

TEST_F(RegistryKeyTest, CreatesTheKeyAndClosesItOnce) {
    HKEY handle = nullptr;
    {
        RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
        handle = key.get();
        ASSERT_NE(handle, nullptr);
        EXPECT_TRUE(profileKeyExists());
        RegistryKey moved = std::move(key);
        EXPECT_EQ(key.get(), nullptr);
        EXPECT_EQ(moved.get(), handle);
        DWORD values = 99;
        EXPECT_EQ(RegQueryInfoKeyA(moved.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &values, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(values, 0u);
        moved.close();
        EXPECT_EQ(moved.get(), nullptr);
        EXPECT_NO_THROW(moved.close());
    }
    EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);

    {
        RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
        handle = key.get();
    }
    EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);
}
