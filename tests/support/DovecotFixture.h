#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Where the throwaway Dovecot of CTest's "dovecot" fixture listens and what
// its mailboxes hold, as tests/servers/dovecot/dovecot-fixture wrote them
// into its info file. A test program that needs the server is registered with
// FIXTURES dovecot (tests/CMakeLists.txt).
struct DovecotFixture {
    struct Mailbox {
        std::string password;
        // Message 1 first, as "uidl" and "list" report them.
        std::vector<std::string> uidls;
        std::vector<long> sizes;

        // The mailbox size that "stat" reports.
        long octets() const;
    };

    // Names the info file for the test programs, as a Windows path (Z:\ is
    // the root of the Linux file system under Wine).
    static constexpr const char* pathVariable = "PELLMOR_DOVECOT_INFO";

    std::string host;
    int port = 0;
    std::map<std::string, Mailbox> mailboxes;

    // Nothing when the variable is unset: the program runs without the
    // fixture. A file that the variable names but that cannot be read or
    // does not hold a server and its mailboxes throws MsgException.
    static std::optional<DovecotFixture> load();
    static DovecotFixture read(const std::string& path);

    // Throws MsgException for a user the fixture does not have.
    const Mailbox& mailbox(const std::string& user) const;
};
