#include "net/POP3Message.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace {

constexpr int lineEndLength = 2; // the CR LF the line arrived with

int addReceived(int received, size_t octets) {
    constexpr int most = std::numeric_limits<int>::max();
    const long long total =
        static_cast<long long>(received) + static_cast<long long>(std::min<size_t>(octets, most));
    return total > most ? most : static_cast<int>(total);
}

} // namespace

namespace POP3 {

// received starts with the empty line between headers and body, which the
// session reads but never hands over.
Message::Message(int number, const char* uid)
    : number(number), uid(uid ? uid : ""), flags(Unfetched), size(0), received(lineEndLength) {}

void Message::receiveHeaderLine(std::string& line) {
    countReceived(line.size() + lineEndLength);
    addHeaderLine(line);
}

void Message::receiveBodyLine(std::string& line) {
    countReceived(line.size() + lineEndLength);
    addBodyLine(line);
}

void Message::clearReceived() {
    clearText();
    received = lineEndLength;
}

void Message::takeReceived(Message& other) {
    copyText(other);
    received = other.received;
    other.clearReceived();
}

void Message::countReceived(size_t octets) {
    received = addReceived(received, octets);
}

} // namespace POP3
