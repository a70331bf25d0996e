#include "accounts/ProfileStore.h"

#include "accounts/AccountFixture.h"
#include "accounts/AccountList.h"
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileKey.h"
#include "net/MsgException.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const char* const versionKeyPath = "Software\\Harrowden\\Pellmor\\1.0";

// Everything of a profile that is stored, to compare accounts before a save
// and after a load.
struct Profile {
    std::string host, user, password, clientCommand;
    bool showIcon = false, checkAutomatically = false, deleteImmediately = false;
    unsigned iconColour = 0, intervalMinutes = 10, port = 110;

    bool operator==(const Profile&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Profile& p) {
    return out << "{" << p.host << "|" << p.user << "|" << p.password.size() << " bytes|"
               << p.showIcon << "|" << p.iconColour << "|" << p.intervalMinutes << "|"
               << p.checkAutomatically << "|" << p.clientCommand << "|" << p.deleteImmediately
               << "|" << p.port << "}";
}

Profile profileOf(const Account& account) {
    Profile profile;
    profile.host = account.host;
    profile.user = account.user;
    profile.password = account.password;
    profile.clientCommand = account.clientCommand;
    profile.showIcon = account.showIcon;
    profile.checkAutomatically = account.checkAutomatically;
    profile.deleteImmediately = account.deleteImmediately;
    profile.iconColour = account.iconColour;
    profile.intervalMinutes = account.intervalMinutes;
    profile.port = account.port;
    return profile;
}

std::string systemText(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                   nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return result;
}

class ProfileStoreTest : public AccountFixture {
protected:
    void SetUp() override {
        AccountFixture::SetUp();
        deleteProfileKey();
    }
    void TearDown() override {
        list.clear();
        deleteProfileKey();
        AccountFixture::TearDown();
    }

    Account& add(const Profile& profile) {
        auto account = std::make_unique<Account>(list.randomId());
        account->setHost(profile.host);
        account->setUser(profile.user);
        account->password = profile.password;
        account->setShowIcon(profile.showIcon);
        account->setIconColour(profile.iconColour);
        account->setInterval(profile.intervalMinutes);
        account->setCheckAutomatically(profile.checkAutomatically);
        account->clientCommand = profile.clientCommand;
        account->deleteImmediately = profile.deleteImmediately;
        account->port = profile.port;
        Account& added = *account;
        list.append(account);
        return added;
    }

    std::vector<Profile> profiles() const {
        std::vector<Profile> result;
        for (const Account& account : list)
            result.push_back(profileOf(account));
        return result;
    }

    std::string loadFailure() {
        try {
            list.loadProfiles();
        } catch (const MsgException& error) {
            return error.message();
        }
        return "(no exception)";
    }

    std::string saveFailure() {
        try {
            list.saveProfiles();
        } catch (const MsgException& error) {
            return error.message();
        }
        return "(no exception)";
    }

    AccountList list;
};

// The example profiles the round trips use: passwords of every kind the
// store keeps (empty, 14 bytes, longer, bytes of 0x80 and above), commas in
// the client command, every colour, the extreme ports and intervals.
std::vector<Profile> exampleProfiles() {
    std::vector<Profile> examples = {
        {"10.1.2.3", "user1", "", "C:\\MAIL\\MAIL.EXE", true, true, false, 0, 10, 110},
        {"pop.example.org", "joe", "fourteen chars", "", false, false, true, 5, 1, 995},
        {"mail.example.com", "j\xF6rg", "a much longer password of forty bytes!!",
         "rundll32.exe url.dll,FileProtocolHandler mailto:", true, false, false, 3, 35791, 65535},
        {"", "", "\xE4p\xDF\x80\xFF w\xF6rd", "\"C:\\Mail, Tools\\mail.exe\" -a,b,,c", false, true,
         true, 2, 0, 4294967295u},
    };
    return examples;
}

} // namespace

TEST_F(ProfileStoreTest, SaveThenLoadGivesTheSameProfiles) {
    for (const Profile& profile : exampleProfiles())
        add(profile);
    const std::vector<Profile> saved = profiles();
    std::set<int> oldIds;
    for (const Account& account : list)
        oldIds.insert(account.id);
    list.begin()->setStatus("1 message");
    currentAccount = &*list.begin();

    list.saveProfiles();
    EXPECT_EQ(profiles(), saved) << "saving must leave the accounts alone";
    list.loadProfiles();

    EXPECT_EQ(profiles(), saved);
    EXPECT_EQ(currentAccount, nullptr);
    std::set<int> newIds;
    for (const Account& account : list) {
        newIds.insert(account.id);
        EXPECT_EQ(account.status, "mail unchecked");
        EXPECT_EQ(account.iconState, Account::NeverChecked);
        EXPECT_EQ(account.trayIcon != nullptr, account.showIcon) << account.title;
        EXPECT_EQ(account.timerId != 0, account.checkAutomatically && account.intervalMinutes > 0)
            << account.title;
    }
    EXPECT_EQ(newIds.size(), saved.size());
    EXPECT_EQ(list.countShownIcons(), 2u);
}

TEST_F(ProfileStoreTest, TheExampleLineIsStoredByteForByte) {
    add({"10.1.2.3", "user1", "", "C:\\MAIL\\MAIL.EXE", true, true, false, 0, 10, 110});
    add({"h", "u", "secret", "", false, false, false, 0, 10, 110});
    list.saveProfiles();

    const std::string example = "10.1.2.3,user1,,1,0,10,1,C:\\MAIL\\MAIL.EXE,0,110d";
    const RawValue first = readRawValue("0");
    ASSERT_TRUE(first.found);
    EXPECT_EQ(first.type, static_cast<DWORD>(REG_SZ));
    // The line is handed over without its NUL; the system adds one when the
    // byte after the counted ones is a NUL (as it is after every C string),
    // so the stored text is the line, at most followed by that NUL.
    EXPECT_TRUE(first.data == example || first.data == example + '\0') << first.data;
    EXPECT_EQ(first.unicodeBytes, 2 * first.data.size());

    const std::string secret = "h,u,\xFD\xAD\xBD\xDF\xEC\xAF,0,0,10,0,,0,110d";
    const RawValue second = readRawValue("1");
    EXPECT_TRUE(second.data == secret || second.data == secret + '\0') << second.data;
    EXPECT_EQ(valueNamesInEnumerationOrder(), "0 1");
}

// The registry enumerates values in an order of its own (Wine's goes by
// name as text: "0 1 10 11 2 ..."); the profiles come back in list order.
TEST_F(ProfileStoreTest, MoreThanTenProfilesKeepTheirOrder) {
    for (int i = 0; i < 12; ++i)
        add({"host" + std::to_string(i), "u", "", "", i == 0, false, false, 0, 10, 110});
    list.saveProfiles();
    list.loadProfiles();
    ASSERT_EQ(list.size(), 12u);
    int i = 0;
    for (const Account& account : list)
        EXPECT_EQ(account.host, "host" + std::to_string(i++));
}

TEST_F(ProfileStoreTest, StoredPortZeroOrEmptyMeans110) {
    writeProfileLine("0", "h0,u,,1,0,10,0,,0,0d");
    writeProfileLine("1", "h1,u,,1,0,10,0,,0,");
    writeProfileLine("2", "h2,u,,1,0,10,0,,0,995d");
    list.loadProfiles();
    std::vector<unsigned> ports;
    for (const Account& account : list)
        ports.push_back(account.port);
    EXPECT_EQ(ports, (std::vector<unsigned>{110, 110, 995}));
}

TEST_F(ProfileStoreTest, NothingStoredGivesOneDefaultAccountWithItsIcon) {
    ASSERT_FALSE(profileKeyExists());
    add({"old", "account", "", "", true, false, false, 0, 10, 110});
    list.loadProfiles();

    EXPECT_TRUE(profileKeyExists());
    ASSERT_EQ(list.size(), 1u);
    const Account& account = *list.begin();
    EXPECT_EQ(profileOf(account), (Profile{"", "", "", "", true, false, false, 0, 10, 110}));
    EXPECT_NE(account.trayIcon, nullptr);
    EXPECT_EQ(account.timerId, 0u);
    const auto calls = shell.callsFor(static_cast<UINT>(account.id));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().message, static_cast<DWORD>(NIM_ADD));
}

TEST_F(ProfileStoreTest, WhenNoStoredProfileShowsItsIconTheFirstDoes) {
    writeProfileLine("0", "first,u,,0,0,10,0,,0,110d");
    writeProfileLine("1", "second,u,,0,0,10,0,,0,110d");
    list.loadProfiles();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list.begin()->showIcon);
    EXPECT_NE(list.begin()->trayIcon, nullptr);
    EXPECT_FALSE(std::next(list.begin())->showIcon);
    EXPECT_EQ(list.countShownIcons(), 1u);
}

TEST_F(ProfileStoreTest, StoredColourThree) {
    writeProfileLine("0", "h,u,,1,3,10,0,,0,110d");
    list.loadProfiles();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.begin()->iconColour, 3u);
}

// Short and long values in any order: each is read in full.
TEST_F(ProfileStoreTest, ValuesOfDifferentLengthsAreReadInFull) {
    const std::size_t lengths[] = {10, 5000, 0, 999, 300000, 1};
    for (std::size_t i = 0; i < std::size(lengths); ++i) {
        const std::string command(lengths[i], static_cast<char>('a' + i));
        writeProfileLine(std::to_string(i).c_str(), "h,u,,1,0,10,0," + command + ",0,110d");
    }
    list.loadProfiles();
    ASSERT_EQ(list.size(), std::size(lengths));
    std::size_t i = 0;
    for (const Account& account : list) {
        EXPECT_EQ(account.clientCommand, std::string(lengths[i], static_cast<char>('a' + i))) << i;
        EXPECT_EQ(account.port, 110u) << i;
        ++i;
    }
}

// Decision: only text values (REG_SZ, and REG_EXPAND_SZ read as it stands)
// are profiles; values of other types were not written by Pellmor and are
// skipped. Text is read up to its first NUL or its length; an empty text is
// a profile with every default.
TEST_F(ProfileStoreTest, HandWrittenValuesOfOddTypesAndSizes) {
    writeProfileValue("00", REG_DWORD, "\x01\x00\x00\x00"s);
    writeProfileValue("01", REG_BINARY, "h,u,,1,3\0,,,"s);
    writeProfileValue("02", REG_MULTI_SZ, "h,u,,1,3\0second\0\0"s);
    writeProfileValue("03", REG_NONE, "h,u"s);
    writeProfileValue("04", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    writeProfileValue("05", REG_EXPAND_SZ, "%SystemRoot%,u,,1,1,10,0,%ComSpec%,0,110d");
    writeProfileValue("06", REG_SZ, "");
    writeProfileValue("07", REG_SZ, "cut,short\0,,1,5,1,1,,1,1d"s);
    writeProfileValue("08", REG_SZ, std::string(1 << 20, ','));
    writeProfileValue("09", REG_SZ, std::string(200000, 'z'));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key), ERROR_SUCCESS);
    // Three bytes of UTF-16: half a character too many.
    RegSetValueExW(key, L"10", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"wx"), 3);
    RegCloseKey(key);

    list.loadProfiles();
    std::vector<std::string> hosts;
    for (const Account& account : list)
        hosts.push_back(account.host);
    const std::vector<std::string> expected = {
        "%SystemRoot%", "", "cut", "", std::string(200000, 'z'), "w",
    };
    ASSERT_EQ(hosts, expected);

    auto account = list.begin();
    EXPECT_EQ(account->clientCommand, "%ComSpec%");
    EXPECT_EQ(account->iconColour, 1u);
    ++account;
    EXPECT_EQ(profileOf(*account), (Profile{}));
    ++account;
    EXPECT_EQ(profileOf(*account),
              (Profile{"cut", "short", "", "", false, false, false, 0, 10, 110}));
    ++account;
    // A megabyte of commas: surplus fields go to the client command.
    EXPECT_EQ(account->clientCommand.size(), (1u << 20) - 9);
    EXPECT_EQ(account->port, 110u);
    EXPECT_EQ(list.countShownIcons(), 1u);
}

// Decision: the list holds at most 100 accounts; stored profiles beyond the
// 100th (in the order they were saved) are not loaded.
TEST_F(ProfileStoreTest, ProfilesBeyondTheHundredthAreIgnored) {
    for (int i = 104; i >= 0; --i)
        writeProfileLine(std::to_string(i).c_str(),
                         "host" + std::to_string(i) + ",u,,0,0,10,0,,0,110d");
    list.loadProfiles();
    ASSERT_EQ(list.size(), AccountList::maxAccounts);
    EXPECT_TRUE(list.full());
    EXPECT_EQ(list.countShownIcons(), 1u);
    int i = 0;
    for (const Account& account : list)
        EXPECT_EQ(account.host, "host" + std::to_string(i++));
}

// A profile the line cannot carry is refused with the message the options
// dialog shows for it, before anything stored is touched.
TEST_F(ProfileStoreTest, ARefusedSaveLosesNothing) {
    add({"pop.example.org", "joe", "secret", "", true, false, false, 1, 10, 110});
    add({"mail.example.com", "ann", "", "mail.exe", false, false, false, 2, 10, 110});
    list.saveProfiles();
    const RawValue first = readRawValue("0");
    const RawValue second = readRawValue("1");

    Account& comma = add({"host", "Doe, Joe", "", "", false, false, false, 0, 10, 110});
    EXPECT_EQ(saveFailure(), profileProblem(comma));
    EXPECT_NE(saveFailure().find("The user name must not contain a comma."), std::string::npos);
    comma.setUser("joe");
    comma.password = "\xF2\xF2\xF2"; // the third byte would be stored as a comma
    EXPECT_EQ(saveFailure(), profileProblem(comma));
    comma.password = "ok";
    comma.clientCommand.assign(1000, 'c');
    EXPECT_NE(saveFailure().find("The profile is too long to be stored"), std::string::npos);

    EXPECT_EQ(valueNamesInEnumerationOrder(), "0 1");
    EXPECT_EQ(readRawValue("0").data, first.data);
    EXPECT_EQ(readRawValue("1").data, second.data);
    EXPECT_EQ(list.size(), 3u);
}

TEST_F(ProfileStoreTest, SavingRemovesProfilesNoLongerInTheList) {
    for (const Profile& profile : exampleProfiles())
        add(profile);
    list.saveProfiles();
    list.erase(std::next(list.begin()));
    list.erase(std::next(list.begin()));
    list.saveProfiles();
    EXPECT_EQ(valueNamesInEnumerationOrder(), "0 1");
    list.loadProfiles();
    EXPECT_EQ(profiles(), (std::vector<Profile>{exampleProfiles()[0], exampleProfiles()[3]}));
}

// A real registry failure: a non-volatile key cannot be created under a
// volatile one. The message names that error, not the thread's stale last
// error, and the accounts stay as they were.
TEST_F(ProfileStoreTest, ARegistryFailureNamesTheRealError) {
    struct VolatileVersionKey {
        VolatileVersionKey() {
            HKEY key = nullptr;
            // The parents first, non-volatile: created together with a
            // volatile key they would be volatile too. The version key
            // itself must be new (the fixture removed it, empty), so that
            // nothing but our own volatile key is removed afterwards.
            EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor", &key),
                      ERROR_SUCCESS);
            RegCloseKey(key);
            DWORD disposition = 0;
            EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, versionKeyPath, 0, nullptr,
                                      REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                      &disposition),
                      ERROR_SUCCESS);
            created = disposition == REG_CREATED_NEW_KEY;
            EXPECT_TRUE(created);
            RegCloseKey(key);
        }
        ~VolatileVersionKey() {
            if (created)
                RegDeleteKeyA(HKEY_CURRENT_USER, versionKeyPath);
        }
        bool created = false;
    };

    add({"pop.example.org", "joe", "", "", true, false, false, 0, 10, 110});
    const int id = list.begin()->id;
    VolatileVersionKey volatileKey;
    ASSERT_TRUE(volatileKey.created);

    const std::string expected = "Windows error #1021: " + systemText(ERROR_CHILD_MUST_BE_VOLATILE);
    SetLastError(0);
    EXPECT_EQ(loadFailure(), expected);
    SetLastError(0);
    EXPECT_EQ(saveFailure(), expected);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.begin()->id, id);
    EXPECT_FALSE(profileKeyExists());
}

// Another real one: the key cannot be deleted while it has a subkey (which
// Pellmor never makes). The save fails at the delete, so the stored
// profiles are all still there.
TEST_F(ProfileStoreTest, ASaveThatCannotDeleteTheKeyKeepsTheStoredProfiles) {
    add({"pop.example.org", "joe", "", "", true, false, false, 0, 10, 110});
    list.saveProfiles();
    const RawValue stored = readRawValue("0");
    HKEY subkey = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER,
                            (std::string(profileKeyPath) + "\\made by hand").c_str(), &subkey),
              ERROR_SUCCESS);
    RegCloseKey(subkey);

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, profileKeyPath), ERROR_ACCESS_DENIED);

    add({"second", "ann", "", "", false, false, false, 0, 10, 110});
    SetLastError(0);
    EXPECT_EQ(saveFailure(), "Windows error #5: " + systemText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(readRawValue("0").data, stored.data);
    EXPECT_EQ(valueNamesInEnumerationOrder(), "0");
}
