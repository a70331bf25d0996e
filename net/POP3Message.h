#pragma once

#include "net/NetMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace POP3 {

// What a POP3 session knows of one message of the mailbox. The session and
// the message menu read and write the fields directly. Final: records are
// destroyed through this exact type, their base has no virtual destructor.
class Message final : public NetMessage {
public:
    enum : uint32_t {
        NotListed = 1, // not (yet) seen in the current UIDL listing
        Unfetched = 2, // size and headers not read yet
        Deleted = 4    // the user chose to delete it
    };

    // A null uid is taken as an empty one.
    Message(int number, const char* uid);

    // Count the raw line, CR LF included, then store it as it came.
    void receiveHeaderLine(std::string& line);
    void receiveBodyLine(std::string& line);
    // Counts octets received through TOP that are not kept (the session
    // drops what a hostile reply sends beyond its bounds).
    void countReceived(size_t octets);
    // Forgets what was received, as a new record.
    void clearReceived();
    // Takes the text and count that `other` received, leaving it as new.
    void takeReceived(Message& other);

    int number;       // in the server's current listing; changes between sessions
    std::string uid;  // the server's unique id, compared byte for byte
    uint32_t flags;
    int size;         // octets, from LIST; 0 until fetched
    // Octets of message text received through TOP, including the empty line
    // that ends the headers. Saturates at INT_MAX instead of wrapping, so an
    // absurd reply can never turn the "bytes not fetched" negative by overflow.
    int received;
};

} // namespace POP3
