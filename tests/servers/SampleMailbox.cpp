#include "servers/SampleMailbox.h"

Pop3Message sampleMessage(int number, unsigned seed) {
    const std::string n = std::to_string(number);
    std::string text = "From: Sender " + n + " <sender" + n +
                       "@example.org>\r\nTo: alice@example.org\r\n"
                       "Subject: Message " +
                       n + " of series " + std::to_string(seed) + "\r\n\r\n";
    for (int line = 1; line <= 40; ++line)
        text += line == 5   ? ".\r\n"
                : line == 6 ? "..two dots\r\n"
                            : "Line " + std::to_string(line) + "\r\n";
    return Pop3Message(std::string(1, static_cast<char>('a' + (number - 1) % 26)) + n, text);
}

Pop3Mailbox sampleMailbox(int count, unsigned seed) {
    Pop3Mailbox mailbox;
    for (int number = 1; number <= count; ++number)
        mailbox.push_back(sampleMessage(number, seed));
    return mailbox;
}
