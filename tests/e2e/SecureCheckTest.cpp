// Secure checks of the real pellmor.exe against the Dovecot of the
// "dovecot" fixture, whose throwaway CA this prefix trusts as a user who
// imported it would: STLS and implicit TLS end in the usual summary, and a
// server with a self-signed certificate is refused until the user trusts
// that certificate in the options.
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

// A value of the fixture's info file, or empty.
std::string fixtureValue(const std::string& key) {
    const char* path = std::getenv("PELLMOR_DOVECOT_INFO");
    std::ifstream in(path ? path : "");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

// The tray icon whose tooltip starts with `title` and then matches
// `status`, within 30 s, or null; `tip` keeps the last tooltip seen.
HWND iconWith(const std::string& title, const std::string& status, std::string& tip) {
    const std::regex pattern(status);
    const DWORD start = GetTickCount();
    do {
        for (HWND icon : trayIcons())
            if ((tip = tooltipOf(icon, 2500)).rfind(title, 0) == 0 &&
                std::regex_search(tip.substr(title.size()), pattern))
                return icon;
    } while (GetTickCount() - start < 30000);
    return nullptr;
}

// A right click on the icon, then the command with access key `key`.
bool chooseFromMenu(HWND icon, char key) {
    clickWindow(icon, true);
    if (!waitForOpenMenus(1, 4000))
        return false;
    pressKey(static_cast<WORD>(key));
    return waitForOpenMenus(0, 5000);
}

// The mailboxes are shared with the net tests, which delete one message of
// each: the count is whatever the server has, all of it new.
const char* const summary = "^ - (\\d+) messages - \\1 new \\(\\d\\d:\\d\\d\\)$";

TEST(SecureCheck, StlsAndImplicitTlsCheckAndASelfSignedCertificateIsTrustedInTheOptions) {
    const std::string plainPort = fixtureValue("port"), tlsPort = fixtureValue("tlsPort");
    const std::string pin = fixtureValue("pinnedFingerprint");
    ASSERT_FALSE(tlsPort.empty() || pin.empty()) << "no Dovecot fixture: run this program through ctest";
    ASSERT_EQ(trustTestCa(fixtureValue("ca")), "");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden");
    // The certificate of 127.0.0.2 is self-signed.
    const struct {
        const char* user;
        const char* host;
        std::string port;
        ConnectionSecurity security;
    } profiles[] = {{"bob", "localhost", plainPort, ConnectionSecurity::Stls},
                    {"carol", "localhost", tlsPort, ConnectionSecurity::ImplicitTls},
                    {"alice", "127.0.0.2", tlsPort, ConnectionSecurity::ImplicitTls}};
    for (const auto& profile : profiles) {
        auto account = std::make_unique<Account>(accounts.randomId());
        account->host = profile.host;
        account->user = profile.user;
        account->password = fixtureValue("password");
        account->port = static_cast<unsigned>(std::stoul(profile.port));
        account->security = profile.security;
        account->showIcon = true;
        accounts.append(account);
    }
    accounts.saveProfiles();
    accounts.clear();

    DebuggedProgram pellmor(std::string("\"") + PELLMOR_EXE_PATH + "\"");
    std::string tip;
    EXPECT_NE(iconWith("bob@localhost", summary, tip), nullptr) << tip;
    EXPECT_NE(iconWith("carol@localhost", summary, tip), nullptr) << tip;
    HWND alice = iconWith("alice@127.0.0.2", "^ - certificate not trusted \\(", tip);
    ASSERT_NE(alice, nullptr) << tip;

    // "&Options...", "&Trust certificate...", Yes, OK.
    ASSERT_TRUE(chooseFromMenu(alice, 'O'));
    HWND options = waitForWindow("#32770", "Pellmor Options", 10000);
    ASSERT_NE(options, nullptr);
    clickWindow(GetDlgItem(options, IDC_TRUST_CERTIFICATE));
    HWND box = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] {
            box = FindWindowExA(nullptr, nullptr, "#32770", "Pellmor Options");
            while (box && GetWindow(box, GW_OWNER) != options)
                box = FindWindowExA(nullptr, box, "#32770", "Pellmor Options");
            return box && IsWindowVisible(box);
        },
        10000));
    EXPECT_NE(messageBoxText(box).find(pin.substr(0, 2) + ":" + pin.substr(2, 2) + ":"), std::string::npos)
        << messageBoxText(box);
    clickWindow(GetDlgItem(box, IDYES));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }, 5000));
    clickWindow(GetDlgItem(options, IDOK));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(options); }, 10000));
    char line[2048] = "";
    DWORD size = sizeof line;
    RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, "2", RRF_RT_REG_SZ, nullptr, line, &size);
    EXPECT_TRUE(std::string(line).ends_with("di:" + pin)) << line;

    ASSERT_TRUE(chooseFromMenu(alice, 'C')); // "&Check now"
    EXPECT_NE(iconWith("alice@127.0.0.2", summary, tip), nullptr) << tip;
    ASSERT_TRUE(chooseFromMenu(alice, 'X'));
    DWORD code = 1;
    EXPECT_TRUE(pellmor.waitForExit(20000, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(waitForTrayIcons(0, 5000));
}

} // namespace
