// The profile store on the test prefix's real registry.
#include "accounts/ProfileStore.h"

#include "accounts/AccountFixture.h"
#include "accounts/AccountList.h"
#include "accounts/ProfileKey.h"
#include "accounts/RegistryKey.h"
#include "accounts/RegistryValueReader.h"
#include "net/MsgException.h"

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class ProfileStoreTest : public AccountFixture {
protected:
    ProfileStoreTest() { deleteProfileKey(); }
    ~ProfileStoreTest() override { deleteProfileKey(); }

    // Appends an account with the settings of a profile line.
    Account& add(const std::string& line) {
        auto account = std::make_unique<Account>(list.randomId());
        applyProfileLine(*account, line);
        Account& added = *account;
        list.append(account);
        return added;
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        for (const Account& account : list)
            result.push_back(formatProfileLine(account));
        return result;
    }

    std::string failure(void (AccountList::*operation)()) try {
        (list.*operation)();
        return "(no exception)";
    } catch (const MsgException& error) {
        return error.message();
    }

    AccountList list;
};

TEST_F(ProfileStoreTest, SaveAndLoadGiveBackEveryByte) {
    add("10.1.2.3,user1,,0,0,10,1,C:\\MAIL\\MAIL.EXE,0,110d");
    add("pop.example.org,joe,,0,5,1,0,,1,995d").password = "fourteen chars";
    add("mail.example.com,j\xF6rg,,1,3,35791,0,rundll32.exe url.dll,FileProtocolHandler mailto:,0,"
        "65535d")
        .password = "a much longer password of forty bytes!!";
    add(",,,0,2,0,1,\"C:\\Mail, Tools\\mail.exe\" -a,b,,c,1,4294967295d").password =
        "\xE4p\xDF\x80\xFF w\xF6rd";
    list.begin()->setStatus("1 message");
    currentAccount = &*list.begin();
    const std::vector<std::string> saved = lines();

    list.saveProfiles();
    EXPECT_EQ(lines(), saved) << "saving leaves the accounts alone";
    for (std::size_t i = 0; i < saved.size(); ++i) {
        // Handed over without its NUL; the system adds one when the byte after
        // the counted ones is a NUL, as it is after a C string.
        const RawValue value = readRawValue(std::to_string(i).c_str());
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_TRUE(value.data == saved[i] || value.data == saved[i] + '\0') << value.data;
    }
    list.loadProfiles();
    EXPECT_EQ(lines(), saved);
    EXPECT_EQ(currentAccount, nullptr);
    EXPECT_EQ(list.begin()->status, "mail unchecked");

    list.erase(list.begin());
    list.saveProfiles();
    EXPECT_FALSE(readRawValue("3").found) << "a profile no longer in the list stays stored";
}

TEST_F(ProfileStoreTest, OnlyTextValuesAreProfilesReadUpToTheirFirstNul) {
    writeProfileValue("00", REG_DWORD, "\x01\x00\x00\x00"s);
    writeProfileValue("01", REG_BINARY, "h,u,,1,3\0,,,"s);
    writeProfileValue("02", REG_MULTI_SZ, "h,u,,1,3\0second\0\0"s);
    writeProfileValue("03", REG_NONE, "h,u"s);
    writeProfileValue("04", REG_EXPAND_SZ, "%SystemRoot%,u,,1,1,10,0,%ComSpec%,0,110d");
    writeProfileValue("05", REG_SZ, "");
    writeProfileValue("06", REG_SZ, "cut,short\0,,1,5,1,1,,1,1d"s);
    writeProfileValue("07", REG_SZ, std::string(1 << 20, ','));
    writeProfileValue("08", REG_SZ, std::string(200000, 'z'));
    writeProfileValue("09", REG_SZ, "h,u,,0,0,10,0," + std::string(5000, 'c') + ",0,110d");
    HKEY key = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key);
    // Three bytes of UTF-16: half a character too many.
    RegSetValueExW(key, L"10", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"wx"), 3);
    RegCloseKey(key);

    list.loadProfiles();
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "%SystemRoot%,u,,1,1,10,0,%ComSpec%,0,110d",
                           ",,,0,0,10,0,,0,110d",
                           "cut,short,,0,0,10,0,,0,110d",
                           ",,,0,0,0,0," + std::string((1 << 20) - 9, ',') + ",0,110d",
                           std::string(200000, 'z') + ",,,0,0,10,0,,0,110d",
                           "h,u,,0,0,10,0," + std::string(5000, 'c') + ",0,110d",
                           "w,,,0,0,10,0,,0,110d",
                       }));
}

// The registry enumerates by name as text ("10" before "2"); the profiles
// come in the order of their numbers, and the first gets the icon when no
// profile shows one.
TEST_F(ProfileStoreTest, AtMost100ProfilesLoadInTheOrderOfTheirNumbers) {
    for (int i = 104; i >= 0; --i)
        writeProfileValue(std::to_string(i).c_str(), REG_SZ, "host" + std::to_string(i));
    list.loadProfiles();
    ASSERT_EQ(list.size(), 100u);
    int i = 0;
    for (const Account& account : list)
        EXPECT_EQ(account.host, "host" + std::to_string(i++));
    EXPECT_NE(list.begin()->trayIcon, nullptr);
    EXPECT_EQ(list.countShownIcons(), 1u);
}

TEST_F(ProfileStoreTest, NothingStoredGivesOneDefaultAccountWithItsIcon) {
    add("old,account");
    list.loadProfiles();
    EXPECT_TRUE(profileKeyExists());
    EXPECT_EQ(lines(), std::vector<std::string>{",,,1,0,10,0,,0,110d"});
    EXPECT_NE(list.begin()->trayIcon, nullptr);
}

// A value the line cannot carry is refused, naming its field, before
// anything stored is touched; commas in the client command are carried.
TEST_F(ProfileStoreTest, ARefusedSaveLosesNothing) {
    add("pop.example.org,joe").password = "secret";
    list.saveProfiles();
    const RawValue stored = readRawValue("0");
    Account& account = add("host,ann");
    const std::tuple<std::string Account::*, std::string, const char*> values[] = {
        {&Account::host, "mail,example.org", "The host name must not contain a comma."},
        {&Account::user, "Doe, Joe", "The user name must not contain a comma."},
        {&Account::host, "mail\0host"s, "The host name must not contain a NUL"},
        {&Account::user, "\0"s, "The user name must not contain a NUL"},
        {&Account::clientCommand, "mail.exe\0-x"s, "The mail client command must not contain a NUL"},
        {&Account::password, "ok" + std::string(1, scrambledByte(',', 2)), "its character 3 "},
        {&Account::clientCommand, std::string(1000, 'c'), "The profile is too long"},
        {&Account::clientCommand, "rundll32.exe url.dll,FileProtocolHandler", nullptr},
        {&Account::password, "\xE4p\xDF w\xF6rd \x80\xFF" + std::string(200, '~'), nullptr},
    };
    for (const auto& [field, value, problem] : values) {
        const std::string kept = account.*field;
        account.*field = value;
        if (problem)
            EXPECT_NE(failure(&AccountList::saveProfiles).find(problem), std::string::npos) << problem;
        else
            EXPECT_EQ(profileProblem(account), "");
        account.*field = kept;
    }
    EXPECT_EQ(readRawValue("0").data, stored.data);
    EXPECT_FALSE(readRawValue("1").found);
}

// Real failures: a key with a subkey cannot be deleted, and a key cannot be
// made under a volatile one. The message names that error, not a stale one.
TEST_F(ProfileStoreTest, RegistryFailuresNameTheirErrorAndLoseNothing) {
    add("pop.example.org,joe");
    list.saveProfiles();
    const RawValue stored = readRawValue("0");
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, (profileKeyPath + "\\made by hand"s).c_str(), &key);
    RegCloseKey(key);
    add("second,ann");
    SetLastError(0);
    EXPECT_EQ(failure(&AccountList::saveProfiles).rfind("Windows error #5:", 0), 0u);
    EXPECT_EQ(readRawValue("0").data, stored.data);
    EXPECT_FALSE(readRawValue("1").found);

    deleteProfileKey();
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor", &key);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const Account* first = &*list.begin();
    for (auto operation : {&AccountList::loadProfiles, &AccountList::saveProfiles}) {
        SetLastError(0);
        EXPECT_EQ(failure(operation).rfind("Windows error #1021:", 0), 0u);
    }
    EXPECT_EQ(&*list.begin(), first) << "a failed load leaves the accounts";
    EXPECT_FALSE(profileKeyExists());
}

// Replacing the profile key deletes it and then fails to make it again (it
// sits under a volatile key): the new set stays whole in the saving key,
// loading reads it there, and the next save puts it in place.
TEST_F(ProfileStoreTest, ASaveThatFailsPartWayKeepsTheNewSetWhole) {
    HKEY parent = nullptr; // made first, or it would be volatile as well
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor", &parent);
    RegCloseKey(parent);
    for (const std::string& path : {"Software\\Harrowden\\Pellmor\\1.0"s, std::string(profileKeyPath)}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    writeProfileValue("0", REG_SZ, "old.example.org,joe");
    add("new.example.org,ann,,1");
    add("second.example.org,bob");
    const std::vector<std::string> saved = lines();
    EXPECT_EQ(failure(&AccountList::saveProfiles).rfind("Windows error #1021:", 0), 0u);
    EXPECT_FALSE(profileKeyExists());
    list.loadProfiles();
    EXPECT_EQ(lines(), saved);

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0"), ERROR_SUCCESS);
    list.saveProfiles();
    EXPECT_EQ(readRawValue("1").data.c_str(), saved[1]);
    HKEY saving = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, savingKeyPath, 0, KEY_READ, &saving), ERROR_SUCCESS);
}

// A value that grew after the key was queried: the buffers grow and nothing
// is cut short. The key is closed once, by its last owner.
TEST_F(ProfileStoreTest, TheValueReaderGrowsItsBuffersAndTheKeyClosesOnce) {
    const std::string name(300, 'n'), data = std::string(69999, 'x') + 'y';
    writeProfileValue(name.c_str(), REG_SZ, data);
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
    RegistryValueReader reader(0, 0);
    ASSERT_TRUE(reader.read(key.get(), 0));
    EXPECT_EQ(reader.name(), name);
    EXPECT_EQ(reader.text(), data);
    EXPECT_FALSE(reader.read(key.get(), 1));

    HKEY handle = key.get();
    {
        RegistryKey moved = std::move(key);
        EXPECT_EQ(key.get(), nullptr);
    }
    EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);
    key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
    handle = key.get();
    key.close();
    EXPECT_NO_THROW(key.close());
    EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);
}

} // namespace
