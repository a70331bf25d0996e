#include "net/NetMessage.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <utility>

namespace {

// A line may end in the middle of a marker or an escape; whatever would lie
// beyond its end reads as the byte 0, as behind the end of a C string.
char byteAt(const std::string& line, size_t position) {
    return position < line.size() ? line[position] : '\0';
}

// The byte an escape "=XY" stands for: exactly the two bytes after the "="
// read as strtol reads them with base 16, of which the low 8 bits are kept.
// Malformed escapes ("=4g", "=zz", a cut-off "=") thus still give a byte.
char escapedByte(const std::string& line, size_t position) {
    const char digits[3] = {byteAt(line, position + 1), byteAt(line, position + 2), '\0'};
    const long value = std::strtol(digits, nullptr, 16);
    return static_cast<char>(static_cast<unsigned long>(value) & 0xFFu);
}

} // namespace

// The rules below are the ones the program has always shown its users, odd
// corners included (a stray "?=" vanishes anywhere, a second "=?" inside an
// open word swallows itself and two more bytes, charsets are ignored), so a
// mailbox reads the same as before. Each step moves at least one byte on and
// every search starts behind the previous one: linear in the line's length.
void decodeLine(std::string& line) {
    std::string decoded;
    decoded.reserve(line.size());
    bool inWord = false;
    size_t p = 0;
    while (p < line.size()) {
        if (byteAt(line, p) == '=' && byteAt(line, p + 1) == '?') {
            if (inWord) {
                p += 4;
            } else {
                inWord = true;
                // Only the capital "Q" form is decoded; the charset and a
                // "B" or "q" word up to the next "Q?" are dropped.
                const size_t marker = line.find("Q?", p + 2);
                if (marker == std::string::npos)
                    break;
                p = marker + 2;
            }
        } else if (byteAt(line, p) == '?' && byteAt(line, p + 1) == '=') {
            p += 2;
            inWord = false;
        }
        if (p >= line.size())
            break;
        const char current = line[p];
        if (inWord && current == '=') {
            decoded += escapedByte(line, p);
            p += 2;
        } else if (inWord && current == '_') {
            decoded += ' ';
        } else {
            decoded += current;
        }
        ++p;
    }
    line = std::move(decoded);
}

bool NetMessage::probe(int32_t) const {
    return false;
}

// Folded headers are not joined: a continuation line is a record of its own,
// which is what the message menu lists line by line.
void NetMessage::addHeaderLine(std::string& line) {
    decodeLine(line);
    Header header;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        header.value = line;
    } else {
        header.name = line.substr(0, colon);
        header.value = line.substr(colon + 1);
    }
    // erase(0, npos) empties an all-blank value.
    header.value.erase(0, header.value.find_first_not_of(" \t"));
    std::replace(header.value.begin(), header.value.end(), '\t', ' ');
    headerList.push_back(std::move(header));
}

// The menu has no tab stops: a tab is shown as four blanks.
void NetMessage::addBodyLine(std::string& line) {
    decodeLine(line);
    const auto tabs = static_cast<size_t>(std::count(line.begin(), line.end(), '\t'));
    std::string expanded;
    expanded.reserve(line.size() + 3 * tabs);
    for (const char c : line) {
        if (c == '\t')
            expanded.append(4, ' ');
        else
            expanded += c;
    }
    bodyLines.push_back(std::move(expanded));
}

bool NetMessage::getHeader(const std::string& name, std::string& value) const {
    const auto found = std::find_if(headerList.begin(), headerList.end(),
                                    [&name](const Header& header) { return header.name == name; });
    if (found == headerList.end()) {
        value.clear();
        return false;
    }
    value = found->value;
    return true;
}
