// Secure checks of the real pellmor.exe against the Dovecot of the
// "dovecot" fixture, whose throwaway CA this prefix trusts as a user who
// imported it would: STLS ends in the usual summary, and a server with a
// self-signed certificate (on 127.0.0.2) is refused until the user trusts
// that certificate in the options; implicit TLS then ends in the summary.
#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DebuggedProgram.h"
#include "e2e/DesktopUser.h"
#include "support/DialogWatcher.h"
#include "support/TestCa.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdlib>
#include <fstream>
#include <regex>

namespace {

std::string fixtureValue(const std::string& key) {
    const char* path = std::getenv("PELLMOR_DOVECOT_INFO");
    std::ifstream in(path ? path : "");
    std::string line;
    while (std::getline(in, line) && line.rfind(key + "=", 0) != 0) {
    }
    return line.rfind(key + "=", 0) == 0 ? line.substr(key.size() + 1) : "";
}

// The tray icon whose tooltip is `title`, " - " and then matches `status`,
// within 30 s, or null; `tip` keeps the last tooltip seen.
HWND iconWith(const std::string& title, const std::string& status, std::string& tip) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 30000;)
        for (HWND icon : trayIcons())
            if ((tip = tooltipOf(icon, 2500)).rfind(title + " - ", 0) == 0 &&
                std::regex_search(tip.substr(title.size() + 3), std::regex(status)))
                return icon;
    return nullptr;
}

// A right click on the icon, then the command with access key `key`.
bool chooseFromMenu(HWND icon, char key) {
    clickWindow(icon, true);
    const bool opened = waitForOpenMenus(1, 4000);
    pressKey(static_cast<WORD>(key));
    return opened && waitForOpenMenus(0, 5000);
}

// The net tests delete one message of each mailbox: the count is whatever
// the server has, all of it new.
const char summary[] = "^(\\d+) messages - \\1 new \\(\\d\\d:\\d\\d\\)$";

TEST(SecureCheck, StlsChecksAndASelfSignedCertificateTrustedInTheOptionsChecksOverTls) {
    const std::string pin = fixtureValue("pinnedFingerprint");
    ASSERT_FALSE(pin.empty()) << "no Dovecot fixture: run this program through ctest";
    ASSERT_EQ(trustTestCa(fixtureValue("ca")), "");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden");
    for (const char* user : {"bob", "alice"}) {
        auto account = std::make_unique<Account>(accounts.randomId());
        const bool stls = user[0] == 'b';
        account->host = stls ? "localhost" : "127.0.0.2";
        account->user = user;
        account->password = fixtureValue("password");
        account->port = static_cast<unsigned>(std::stoul(fixtureValue(stls ? "port" : "tlsPort")));
        account->security = stls ? ConnectionSecurity::Stls : ConnectionSecurity::ImplicitTls;
        account->showIcon = true;
        accounts.append(account);
    }
    accounts.saveProfiles();
    accounts.clear();

    DebuggedProgram pellmor(std::string("\"") + PELLMOR_EXE_PATH + "\"");
    std::string tip;
    EXPECT_NE(iconWith("bob@localhost", summary, tip), nullptr) << tip;
    HWND alice = iconWith("alice@127.0.0.2", "^certificate not trusted \\(", tip);
    ASSERT_NE(alice, nullptr) << tip;
    ASSERT_TRUE(chooseFromMenu(alice, 'O'));
    HWND options = waitForWindow("#32770", "Pellmor Options", 10000);
    ASSERT_NE(options, nullptr);
    clickWindow(GetDlgItem(options, IDC_TRUST_CERTIFICATE));
    HWND box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return GetWindow(box = GetForegroundWindow(), GW_OWNER) == options; }, 10000));
    EXPECT_NE(messageBoxText(box).find(pin.substr(0, 2) + ":" + pin.substr(2, 2) + ":"), std::string::npos)
        << messageBoxText(box);
    clickWindow(GetDlgItem(box, IDYES));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }, 5000));
    clickWindow(GetDlgItem(options, IDOK));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(options); }, 10000));
    char line[2048] = "";
    DWORD size = sizeof line;
    RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, "1", RRF_RT_REG_SZ, nullptr, line, &size);
    EXPECT_TRUE(std::string(line).ends_with("di:" + pin)) << line;

    ASSERT_TRUE(chooseFromMenu(alice, 'C')); // "&Check now"
    EXPECT_NE(iconWith("alice@127.0.0.2", summary, tip), nullptr) << tip;
    DWORD code = 1;
    EXPECT_TRUE(chooseFromMenu(alice, 'X') && pellmor.waitForExit(20000, code) && code == 0);
    EXPECT_TRUE(waitForTrayIcons(0, 5000));
}

} // namespace
