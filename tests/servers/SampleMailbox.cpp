#include "servers/SampleMailbox.h"

Pop3Message sampleMessage(int number, unsigned seed) {
    const std::string n = std::to_string(number);
    std::string text = "From: Sender " + n + " <sender" + n + "@example.org>\nSubject: Message " +
                       n + " of series " + std::to_string(seed) + "\n\n.\n..two dots\n";
    for (int line = 3; line <= 40; ++line)
        text += "Line " + std::to_string(line) + "\n";
    return Pop3Message(std::string(1, static_cast<char>('a' + (number - 1) % 26)) + n, text);
}

Pop3Mailbox sampleMailbox(int count, unsigned seed) {
    Pop3Mailbox mailbox;
    for (int number = 1; number <= count; ++number)
        mailbox.push_back(sampleMessage(number, seed));
    return mailbox;
}
