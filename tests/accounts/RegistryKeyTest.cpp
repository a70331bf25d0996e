#include "accounts/RegistryKey.h"

#include "accounts/ProfileKey.h"
#include "accounts/ProfileStore.h"
#include "net/MsgException.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string systemText(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                   nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return result;
}

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { deleteProfileKey(); }
    void TearDown() override { deleteProfileKey(); }
};

} // namespace

TEST_F(RegistryKeyTest, SuccessReturnsAndLeavesTheLastErrorAlone) {
    SetLastError(1234);
    EXPECT_NO_THROW(checkRegistryResult(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), 1234u);
}

// The registry answers its error without setting the thread's last error;
// the message must name that error, not the stale 0 the thread still has.
TEST_F(RegistryKeyTest, FailureNamesTheRegistrysOwnError) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key);
    ASSERT_EQ(result, ERROR_FILE_NOT_FOUND);
    SetLastError(0);
    try {
        checkRegistryResult(result);
        FAIL() << "no exception";
    } catch (const MsgException& error) {
        EXPECT_EQ(error.message(), "Windows error #2: " + systemText(ERROR_FILE_NOT_FOUND));
    }
}

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
