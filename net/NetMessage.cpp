#include "net/NetMessage.h"

#include <algorithm>
#include <cstddef>

bool NetMessage::probe(int32_t) const {
    return false;
}

// Folded headers are not joined: a continuation line is a record of its own,
// which is what the message menu lists line by line.
void NetMessage::addHeaderLine(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        headerText.append(line.substr(0, colon));
        line.remove_prefix(colon + 1);
    }
    headerEnds.push_back(static_cast<uint32_t>(headerText.size()));
    // An all-blank value is empty.
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    const size_t valueStart = headerText.size();
    headerText.append(line);
    std::replace(headerText.begin() + static_cast<std::ptrdiff_t>(valueStart), headerText.end(), '\t', ' ');
    headerEnds.push_back(static_cast<uint32_t>(headerText.size()));
}

void NetMessage::addBodyLine(std::string_view line) {
    bodyText.append(line);
    lineEnds.push_back(static_cast<uint32_t>(bodyText.size()));
}

void NetMessage::copyText(const NetMessage& other) {
    headerText = other.headerText;
    headerEnds = other.headerEnds;
    bodyText = other.bodyText;
    lineEnds = other.lineEnds;
}

void NetMessage::clearText() {
    headerText.clear();
    headerEnds.clear();
    bodyText.clear();
    lineEnds.clear();
}

std::vector<Header> NetMessage::headers() const {
    std::vector<Header> list;
    list.reserve(headerEnds.size() / 2);
    const std::string_view text = headerText;
    uint32_t start = 0;
    for (size_t i = 0; i + 1 < headerEnds.size(); i += 2) {
        list.push_back({text.substr(start, headerEnds[i] - start),
                        text.substr(headerEnds[i], headerEnds[i + 1] - headerEnds[i])});
        start = headerEnds[i + 1];
    }
    return list;
}

std::vector<std::string_view> NetMessage::lines() const {
    std::vector<std::string_view> list;
    list.reserve(lineEnds.size());
    const std::string_view text = bodyText;
    uint32_t start = 0;
    for (const uint32_t end : lineEnds) {
        list.push_back(text.substr(start, end - start));
        start = end;
    }
    return list;
}

bool NetMessage::getHeader(const std::string& name, std::string& value) const {
    for (const Header& header : headers()) {
        if (header.name == name) {
            value = header.value;
            return true;
        }
    }
    value.clear();
    return false;
}
