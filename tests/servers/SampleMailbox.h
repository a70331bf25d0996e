#pragma once

#include "servers/Pop3Server.h"

// Messages for tests, the same for the same seed. Message i (from 1) has the
// unique id of a letter and its number ("a1", "b2", ..., "z26", "a27"), a few
// headers and 40 body lines, the first two of them beginning with "." so
// that both ends must stuff and keep the dots right.
inline Pop3Message sampleMessage(int number, unsigned seed = 1) {
    const std::string n = std::to_string(number);
    std::string text = "From: Sender " + n + " <sender" + n + "@example.org>\nSubject: Message " +
                       n + " of series " + std::to_string(seed) + "\n\n.\n..two dots\n";
    for (int line = 3; line <= 40; ++line)
        text += "Line " + std::to_string(line) + "\n";
    return Pop3Message(std::string(1, static_cast<char>('a' + (number - 1) % 26)) + n, text);
}

inline Pop3Mailbox sampleMailbox(int count, unsigned seed = 1) {
    Pop3Mailbox mailbox;
    for (int number = 1; number <= count; ++number)
        mailbox.push_back(sampleMessage(number, seed));
    return mailbox;
}
