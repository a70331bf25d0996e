// The stored profile line: its exact form, which older versions read, how
// odd stored lines read back, what keeps a profile from reading back; and the
// profile store on the test prefix's real registry.
#include "accounts/AccountFixture.h"
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileProblems.h"
#include "accounts/ProfileStore.h"
#include "accounts/RegistryKey.h"
#include "accounts/RegistryValueReader.h"
#include "net/MsgException.h"

#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

// Every byte of the stored text value `name`, its NUL included; "" when there
// is no such value of type REG_SZ.
std::string storedText(const std::string& name, const char* key = profileKeyPath) {
    char text[2048];
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_SZ, nullptr, text, &size))
        return "";
    return std::string(text, size);
}

class ProfileTest : public AccountFixture {
protected:
    ProfileTest() { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }
    ~ProfileTest() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }

    Account& add(const std::string& line) { return AccountFixture::add(list, line); }

    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        for (const Account& account : list)
            result.push_back(formatProfileLine(account));
        return result;
    }

    std::string saveFailure() try {
        list.saveProfiles();
        return "(no exception)";
    } catch (const MsgException& error) {
        return error.message();
    }

    AccountList list;
};

const std::string pin = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";

// Each stored line, applied to a new account, gives the account that is
// saved again as the second line (as itself when that is empty). The first
// is the line older versions read, with "secret" scrambled.
TEST_F(ProfileTest, StoredLinesReadBackAs) {
    const std::string p = "h,u,,0,0,10,0,,0,";
    const std::pair<std::string, std::string> lines[] = {
        {"10.1.2.3,user1,\xFD\xAD\xBD\xDF\xEC\xAF,1,5,35791,1,C:\\MAIL\\MAIL.EXE,1,4294967295d",
         ""},
        {"mail.example.org,joe", "mail.example.org,joe,,0,0,10,0,,0,110d"},
        {",,,,,,,,,", ",,,0,0,0,0,,0,110d"},
        {"h,u,,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,995d", ""},
        {p + "0d", p + "110d"},
        {p + "995xyz", p + "995d"},
        // No balloon: "q" after the "d" that older versions skip with it.
        {p + "995dq", ""},
        {p + "110q", p + "110dq"},
        // 2^64 would wrap to 0, the default port.
        {p + "18446744073709551616d", p + "4294967295d"},
        {"h,u,,2,-1,-5,x,,-7,110d", "h,u,,1,0,35791,0,,1,110d"},
        {"h,u,, 1 ,99999999999,99999999999,+1,,0,110d", "h,u,,1,0,35791,1,,0,110d"},
        // STLS or implicit TLS, both named: implicit; the trusted
        // certificate in either case; one damaged trusts nothing, and a
        // plain profile trusts none.
        {p + "995dqi:" + pin, ""},
        {p + "0ds:00112233445566778899aabbccddeeff" + pin.substr(32), p + "110ds:" + pin},
        {p + "995dsi", p + "995di"},
        {p + "995di:" + pin.substr(1), p + "995di"},
        {p + "995di:" + pin + "0", p + "995di"},
        {p + "995di:" + pin.substr(2) + ":q", p + "995di"},
        {p + "995d:" + pin, p + "995d"},
    };
    for (const auto& [stored, saved] : lines) {
        Account account(1);
        applyProfileLine(account, stored);
        const std::string line = formatProfileLine(account);
        EXPECT_EQ(line, saved.empty() ? stored : saved);
        EXPECT_EQ(account.trayIcon != nullptr, account.showIcon) << stored;
        EXPECT_EQ(account.timerId != 0, account.checkAutomatically && account.intervalMinutes != 0);
    }
    Account pinned(1);
    applyProfileLine(pinned, lines[0].first);
    EXPECT_EQ(pinned.password, "secret");
    applyProfileLine(pinned, "other"); // a line of a host alone
    EXPECT_EQ(pinned.title, "user1@other");
    // Beyond 14 bytes the key starts again.
    for (std::size_t i = 14; i < 29; ++i)
        EXPECT_EQ(scrambledByte('s', i), scrambledByte('s', i - 14)) << i;
}

// A password is refused exactly when it would not read back from its line.
TEST_F(ProfileTest, PasswordsRefusedExactlyWhenTheyWouldNotReadBack) {
    Account account(1);
    for (std::size_t position = 0; position < 30; ++position) {
        for (int value = 0; value < 256; ++value) {
            account.password = std::string(position, 'a') + static_cast<char>(value);
            const std::string line = formatProfileLine(account);
            std::string readBack(splitProfileLine(line)[2]);
            scramblePassword(readBack);
            EXPECT_EQ(passwordProblem(account.password).empty(), readBack == account.password)
                << value << " at " << position;
        }
    }
}

// Nothing stored: one default account shows its icon. Saving and loading
// give back every byte. A value the line cannot carry is
// refused, naming its field, before anything stored is touched. A save that
// fails part way (a subkey keeps the old key from being deleted) leaves the
// old set stored and the new one whole in the saving key; loading reads it
// there, and the next save puts it in place.
TEST_F(ProfileTest, NoSaveLosesAByte) {
    list.loadProfiles();
    EXPECT_EQ(lines(), std::vector<std::string>{",,,1,0,10,0,,0,110d"}) << "nothing stored";
    list.clear();
    add("10.1.2.3,user1,,0,0,10,1,C:\\MAIL\\MAIL.EXE,0,110d");
    add("pop.example.org,joe,,0,5,1,0,,1,995d").password = "fourteen chars";
    add("m.example.com,j\xF6rg,,1,3,35791,0,rundll32 url.dll,FileProtocolHandler,0,65535d")
        .password = "a much longer password of forty bytes!!";
    add(",,,0,2,0,1,\"C:\\Mail, Tools\\mail.exe\" -a,b,,c,1,4294967295d").password =
        "\xE4p\xDF\x80\xFF w\xF6rd";
    Account& account = add("host,ann");
    currentAccount = &*list.begin();
    const std::vector<std::string> saved = lines();
    list.saveProfiles();

    // Older versions format the line into 1000 bytes.
    const std::size_t longest = maxProfileLine - formatProfileLine(account).size();
    const std::tuple<std::string Account::*, std::string, const char*> values[] = {
        {&Account::host, "mail,example.org", "The host name must not contain a comma."},
        {&Account::user, "Doe, Joe", "The user name must not contain a comma."},
        {&Account::host, "mail\0host"s, "The host name must not contain a NUL"},
        {&Account::clientCommand, "mail.exe\0-x"s,
         "\"ann@host\" cannot be saved. The mail client command must not contain a NUL"},
        {&Account::password, "ok" + std::string(1, scrambledByte(',', 2)), "its character 3 "},
        {&Account::clientCommand, std::string(longest + 1, 'c'), "by 1 character."},
        {&Account::clientCommand, std::string(longest, 'c'), nullptr},
        {&Account::clientCommand, "rundll32.exe url.dll,FileProtocolHandler", nullptr},
        {&Account::password, "\xE4p\xDF w\xF6rd \x80\xFF" + std::string(200, '~'), nullptr},
    };
    for (const auto& [field, value, problem] : values) {
        const std::string kept = std::exchange(account.*field, value);
        if (problem)
            EXPECT_NE(saveFailure().find(problem), std::string::npos) << problem;
        else
            EXPECT_EQ(profileProblem(account), "");
        account.*field = kept;
    }

    const std::string handMade = profileKeyPath + "\\made by hand"s;
    RegistryKey::create(HKEY_CURRENT_USER, handMade.c_str());
    account.host = "other";
    const std::vector<std::string> changed = lines();
    // The message names the error, not a stale one.
    SetLastError(0);
    EXPECT_EQ(saveFailure().rfind("Windows error #5:", 0), 0u);
    for (std::size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(storedText(std::to_string(i)), saved[i] + '\0');
    list.loadProfiles();
    EXPECT_EQ(lines(), changed);
    EXPECT_EQ(currentAccount, nullptr);

    SHDeleteKeyA(HKEY_CURRENT_USER, handMade.c_str());
    list.erase(list.begin());
    list.saveProfiles();
    EXPECT_EQ(storedText("3"), changed[4] + '\0');
    EXPECT_EQ(storedText("4"), "") << "a profile no longer in the list stays stored";
    EXPECT_EQ(storedText("3", savingKeyPath), "");
}

// Values made by hand: only text is a profile, read up to its first NUL,
// "%...%" as it stands; at most 100 load, in the order of their numbers,
// which is not the registry's ("10" before "2").
TEST_F(ProfileTest, AtMost100TextProfilesLoadInTheOrderOfTheirNumbers) {
    const auto write = [](int number, DWORD type, const std::string& data) {
        SHSetValueA(HKEY_CURRENT_USER, profileKeyPath, std::to_string(number).c_str(), type,
                    data.data(), static_cast<DWORD>(data.size()));
    };
    for (int i = 104; i >= 0; --i)
        write(i, REG_SZ, "host" + std::to_string(i));
    write(3, REG_BINARY, "h,u");
    write(4, REG_DWORD, "\x01\x00\x00\x00"s);
    write(5, REG_EXPAND_SZ, "%SystemRoot%,u");
    write(6, REG_SZ, "host6\0,,1"s);
    list.loadProfiles();
    ASSERT_EQ(list.size(), 100u);
    // Names longer than the key said when its sizes were read (another
    // program writing meanwhile) are read all the same.
    RegistryValueReader reader(0, 0);
    ASSERT_TRUE(reader.read(RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath).get(), 0));
    EXPECT_NE(reader.name(), "");
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(std::next(list.begin(), i)->host,
                  i == 3 ? "%SystemRoot%" : "host" + std::to_string(i < 3 ? i : i + 2));
}

} // namespace
