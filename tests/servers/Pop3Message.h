#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One message of a test mailbox: its unique id and its lines, kept without
// their line ends so that the server can send them with CR LF whatever the
// text came with.
struct Pop3Message {
    // The text is an RFC 5322 message with LF or CR LF line ends; a last line
    // without a line end is still a line.
    Pop3Message(std::string uid, const std::string& text);

    // Octets of the message as sent, CR LF included and before dot-stuffing:
    // the size that "list" and "stat" report.
    size_t size() const;

    std::string uid;
    std::vector<std::string> lines;
};

using Pop3Mailbox = std::vector<Pop3Message>;
