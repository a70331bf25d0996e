#include "net/NetMessage.h"

#include <algorithm>
#include <cstddef>
#include <utility>

bool NetMessage::probe(int32_t) const {
    return false;
}

// Folded headers are not joined: a continuation line is a record of its own,
// which is what the message menu lists line by line.
void NetMessage::addHeaderLine(const std::string& line) {
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

void NetMessage::addBodyLine(const std::string& line) {
    bodyLines.push_back(line);
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
