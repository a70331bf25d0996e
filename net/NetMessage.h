#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One header line of a message, split at its first colon.
struct Header {
    std::string name;
    std::string value;
};

// Decodes the "Q" encoded words of one received line in place and removes
// their markers. Works on the line alone and accepts any bytes: malformed
// words and escapes still give text, never an error.
void decodeLine(std::string& line);

// The headers and first body lines of one message, as a server sent them,
// decoded. Records are owned by exactly one list and never copied.
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

    // Both take the line as received and decode it in place before storing.
    void addHeaderLine(std::string& line);
    void addBodyLine(std::string& line);

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
