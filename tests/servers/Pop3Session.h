#pragma once

#include "servers/Pop3Message.h"
#include "servers/Pop3Reply.h"

#include <string>
#include <vector>

// The protocol side of one POP3 connection (RFC 1939), without the network:
// it takes the client's command lines one by one and gives the replies. It
// works on its own copy of the mailbox, taken when the connection starts, so
// that the message numbers stay put while the test changes the mailbox.
class Pop3Session {
public:
    Pop3Session(std::string user, std::string password, Pop3Mailbox maildrop);

    Pop3Reply greeting() const;
    // One command line, without its CR LF. Commands are taken in any case.
    Pop3Reply execute(const std::string& line);

    // True once "quit" has been answered: the connection is to be closed.
    bool ended() const { return state == State::Ended; }
    // The unique ids that a "quit" in the transaction state removed from the
    // mailbox; empty after any other end.
    const std::vector<std::string>& expunged() const { return removed; }

private:
    enum class State { Authorization, Transaction, Ended };

    struct Entry {
        Pop3Message message;
        bool deleted = false;
    };

    Pop3Reply authorize(const std::string& verb, const std::string& argument);
    Pop3Reply transact(const std::string& verb, const std::vector<std::string>& arguments);
    Pop3Reply quit();
    static constexpr size_t noMessage = static_cast<size_t>(-1);

    // The index of the message a number argument names, or noMessage with
    // the "-ERR" reply that says why there is none.
    size_t find(const std::string& number, Pop3Reply& refusal) const;
    // The messages not marked for deletion.
    struct Tally {
        size_t messages = 0;
        size_t octets = 0;
    };
    Tally countMessages() const;
    // "2 messages (5120 octets)"
    std::string dropSummary() const;

    std::string user;
    std::string password;
    std::vector<Entry> entries;
    State state = State::Authorization;
    std::string pendingUser;
    bool userGiven = false;
    std::vector<std::string> removed;
};
