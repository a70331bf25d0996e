#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One header line of a message, split at its first colon: views into the
// text of the record (or of the lines) it was read from.
struct Header {
    std::string_view name;
    std::string_view value;
};

// The headers and first body lines of one message, as a server sent them:
// bytes, not text. What a reader sees of them (encoded words, charsets, MIME
// parts) is decoded from these by mail/ when it is shown, so nothing of
// what arrived is lost to a decoding done too early. Records are owned by
// exactly one list and never copied.
class NetMessage {
public:
    NetMessage() = default;
    NetMessage(const NetMessage&) = delete;
    NetMessage& operator=(const NetMessage&) = delete;

    // Asks whether a record supports an optional capability, named by a
    // 32-bit code, that only some kinds of record would have. No kind of
    // record has one yet, so every code answers false; a caller that gets
    // false must go on as with a plain record.
    virtual bool probe(int32_t capability) const;

    // A header line is split at its first colon; a body line is kept as it is.
    void addHeaderLine(std::string_view line);
    void addBodyLine(std::string_view line);
    // Hands back the room the text reserved while it grew; for a record that
    // is complete and will be kept.
    void compact();

    // The value of the first header whose name is exactly `name`; false and
    // an empty value without one.
    bool getHeader(const std::string& name, std::string& value) const;

    // Views into the record's own text, valid while it lives and takes no
    // more lines.
    std::vector<Header> headers() const;
    std::vector<std::string_view> lines() const;

protected:
    // Not virtual: a record is destroyed only through its exact type, never
    // through this base, and the protection lets the compiler hold us to it.
    ~NetMessage() = default;

private:
    // A mailbox may keep tens of thousands of records: each keeps its text
    // in two blocks, with four bytes per line and header part to find it
    // again, rather than a string object and a heap block per line.
    std::string headerText;           // every header's name, then its value
    std::vector<uint32_t> headerEnds; // two per header: where its name and its value end
    std::string bodyText;
    std::vector<uint32_t> lineEnds;
};
