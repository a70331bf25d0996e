// libFuzzer entry over the message records. The input is read as a TOP reply
// split at line feeds: header lines up to the first empty line, body lines
// after it, each fed to a record as the session does; the same lines are then
// the uids of a list. Besides the sanitizers' checks, the properties below
// must hold for every input; a broken one aborts, which libFuzzer reports as
// a crash with the input that caused it.
#include "net/MessageList.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

std::string decoded(std::string line) {
    decodeLine(line);
    return line;
}

void checkHeader(const Header& header, std::string line) {
    const size_t colon = line.find(':');
    require(header.name == (colon == std::string::npos ? "" : line.substr(0, colon)),
            "the name is the text before the first colon");
    line.erase(0, colon == std::string::npos ? 0 : colon + 1);
    std::replace(line.begin(), line.end(), '\t', ' ');
    require(line.ends_with(header.value), "the value ends the line");
    require(line.find_first_not_of(' ') >= line.size() - header.value.size(), "only blanks are cut from the value");
    require(!header.value.starts_with(' '), "a header value has no leading blank");
}

// The records of a mailbox keyed by the same lines: the list must stay in
// order through lookups and erasures, with nothing lost or freed twice.
void checkList(const std::vector<std::string>& uids) {
    MessageList list;
    int number = 0;
    for (const std::string& uid : uids) {
        auto holder = std::make_unique<POP3::Message>(++number, uid.c_str());
        list.pushBack(holder);
    }
    for (const std::string& raw : uids) {
        const std::string uid = raw.c_str(); // a record keeps the text before a zero byte
        const POP3::Message* found = list.findByUid(uid);
        require(found && found == &*std::find_if(list.begin(), list.end(), [&](auto& m) { return m.uid == uid; }),
                "the first record of a uid is found");
    }
    int kept = 0;
    for (auto position = list.begin(); position != list.end();) {
        if (position->number % 2 == 0) {
            position = list.erase(position);
        } else {
            require(position->number == 2 * kept++ + 1, "erasing keeps the others in order");
            ++position;
        }
    }
    require(list.count() == kept, "erased records are gone");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }

    POP3::Message message(1, "fuzz");
    long long expectedReceived = 2;
    bool inBody = false;
    for (const std::string& raw : lines) {
        const std::string clean = decoded(raw);
        require(clean.size() <= raw.size(), "decoding never lengthens a line");
        require(raw.find('=') != std::string::npos || clean == raw, "a line without '=' is left as it is");
        if (!inBody && raw.empty()) {
            inBody = true;
            continue;
        }
        std::string line = raw;
        expectedReceived += static_cast<long long>(raw.size()) + 2;
        if (inBody) {
            message.receiveBodyLine(line);
            const auto tabs = static_cast<size_t>(std::count(clean.begin(), clean.end(), '\t'));
            require(message.lines().back().size() == clean.size() + 3 * tabs, "a tab becomes four blanks");
            require(message.lines().back().find('\t') == std::string::npos, "a body line holds no tab");
        } else {
            message.receiveHeaderLine(line);
            checkHeader(message.headers().back(), clean);
        }
        require(line == clean, "the caller's line is left decoded");
    }
    require(message.received == std::min<long long>(expectedReceived, std::numeric_limits<int>::max()),
            "received counts every raw line with its CR LF");
    for (const Header& header : message.headers()) {
        std::string value;
        require(message.getHeader(header.name, value), "every stored name is found");
        const auto first = std::find_if(message.headers().begin(), message.headers().end(),
                                        [&](const Header& h) { return h.name == header.name; });
        require(value == first->value, "the first header of a name wins");
    }
    checkList(lines);
    return 0;
}
