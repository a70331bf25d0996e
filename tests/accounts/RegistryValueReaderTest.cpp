#include "accounts/RegistryValueReader.h"

#include "accounts/ProfileKey.h"
#include "accounts/ProfileStore.h"
#include "accounts/RegistryKey.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

using RegistryValueReaderTest = ProfileKeyTest;

} // namespace

// Buffers far too small for a value, as after a value grew since the key
// was queried: the reader grows them and reads name and data in full.
TEST_F(RegistryValueReaderTest, GrowsItsBuffersAndReadsInFull) {
    const std::string longName(300, 'n');
    std::string longData(70000, 'x');
    longData[69999] = 'y';
    writeProfileValue(longName.c_str(), REG_SZ, longData);
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);

    RegistryValueReader reader(0, 0);
    ASSERT_TRUE(reader.read(key.get(), 0));
    EXPECT_EQ(reader.name(), longName);
    EXPECT_EQ(reader.type(), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(reader.text().size(), longData.size());
    EXPECT_EQ(reader.text(), longData);
    EXPECT_FALSE(reader.read(key.get(), 1));
}

TEST_F(RegistryValueReaderTest, TextEndsAtTheFirstNulOrTheLength) {
    writeProfileValue("a", REG_SZ, "no terminating NUL");
    writeProfileValue("b", REG_SZ, "cut\0here"s);
    writeProfileValue("c", REG_BINARY, "\x01\x02\x03"s);
    writeProfileValue("d", REG_SZ, "");
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);

    RegistryValueReader reader(1, 64);
    std::string seen;
    for (DWORD index = 0; reader.read(key.get(), index); ++index)
        seen += reader.name() + "=" + std::string(reader.text()) + ";";
    EXPECT_EQ(seen, "a=no terminating NUL;b=cut;c=\x01\x02\x03;d=;");
}
