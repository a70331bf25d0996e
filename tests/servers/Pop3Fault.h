#pragma once

#include "servers/Pop3Reply.h"

#include <cstddef>
#include <optional>

// What the test server does to its reply to one command instead of
// answering it properly. Pop3Server keeps one per command key; its helpers
// (refuse, answer, closeAfter, ...) fill the parts.
struct Pop3Fault {
    enum class Cut { None, Close, Stall };

    // Sent instead of the proper reply. The command itself is then not
    // carried out: an answered "dele" marks nothing, an answered "quit" does
    // not end the session.
    std::optional<Pop3Reply> replacement;

    // "+OK" followed by data lines without end, until the client goes away or
    // endlessLimit bytes have gone out; then the server closes the
    // connection. Takes precedence over the other parts.
    bool endless = false;
    size_t endlessLimit = 0;

    // After cutAfter bytes of the reply (the proper one or the replacement)
    // the server closes the connection, or stalls: it sends nothing more and
    // keeps the connection open until the client closes it, the server is
    // destroyed or its stall limit is up.
    Cut cut = Cut::None;
    size_t cutAfter = 0;
};
