#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One header line of a message, split at its first colon.
struct Header {
    std::string name;
    std::string value;
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
    void addHeaderLine(const std::string& line);
    void addBodyLine(const std::string& line);

    // The value of the first header whose name is exactly `name`; false and
    // an empty value without one.
    bool getHeader(const std::string& name, std::string& value) const;

    const std::vector<Header>& headers() const { return headerList; }
    const std::vector<std::string>& lines() const { return bodyLines; }

protected:
    // Not virtual: a record is destroyed only through its exact type, never
    // through this base, and the protection lets the compiler hold us to it.
    ~NetMessage() = default;

private:
    std::vector<Header> headerList;
    std::vector<std::string> bodyLines;
};
