#include "servers/Pop3Message.h"

Pop3Message::Pop3Message(std::string uid, const std::string& text) : uid(std::move(uid)) {
    size_t at = 0;
    while (at < text.size()) {
        size_t feed = text.find('\n', at);
        const size_t end = feed == std::string::npos ? text.size() : feed;
        size_t length = end - at;
        if (feed != std::string::npos && length > 0 && text[end - 1] == '\r')
            --length;
        lines.emplace_back(text, at, length);
        at = feed == std::string::npos ? text.size() : feed + 1;
    }
}

size_t Pop3Message::size() const {
    size_t octets = 0;
    for (const std::string& line : lines)
        octets += line.size() + 2;
    return octets;
}
