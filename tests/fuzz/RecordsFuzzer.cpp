// libFuzzer entry over the message records. The input is read as a TOP reply
// split at line feeds: header lines up to the first empty line, body lines
// after it, each fed to a record exactly as a session would. Any byte is
// allowed anywhere. Besides the sanitizers' checks, the properties below
// must hold for every input; a broken one aborts, which libFuzzer reports as
// a crash with the input that caused it.
#include "net/MessageList.h"
#include "net/NetMessage.h"
#include "net/POP3Message.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::vector<std::string> splitLines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    return lines;
}

std::string decodedCopy(const std::string& raw) {
    std::string line = raw;
    decodeLine(line);
    return line;
}

// Properties of the decoding alone: it consumes at least one byte for every
// byte it writes, and only "=" can start anything it changes.
void checkDecoding(const std::string& raw) {
    const std::string line = decodedCopy(raw);
    require(line.size() <= raw.size(), "decoding never lengthens a line");
    if (raw.find('=') == std::string::npos)
        require(line == raw, "a line without '=' is left as it is");
    require(decodedCopy(raw) == line, "decoding depends on the line alone");
}

void checkHeader(const Header& header, const std::string& decoded) {
    require(header.name.find(':') == std::string::npos, "a header name holds no colon");
    require(header.value.find('\t') == std::string::npos, "a header value holds no tab");
    require(header.value.empty() || header.value[0] != ' ', "a header value has no leading blank");
    const size_t colon = decoded.find(':');
    std::string tail = decoded;
    if (colon == std::string::npos) {
        require(header.name.empty(), "a line without colon has no name");
    } else {
        require(header.name == decoded.substr(0, colon), "the name is the text before the colon");
        tail = decoded.substr(colon + 1);
    }
    std::replace(tail.begin(), tail.end(), '\t', ' ');
    require(tail.size() >= header.value.size(), "the value comes from the line");
    const size_t cut = tail.size() - header.value.size();
    require(tail.compare(cut, std::string::npos, header.value) == 0, "the value ends the line");
    require(tail.find_first_not_of(' ') >= cut, "only blanks are cut from the value");
}

void checkBodyLine(const std::string& stored, const std::string& decoded) {
    const auto tabs = static_cast<size_t>(std::count(decoded.begin(), decoded.end(), '\t'));
    require(stored.find('\t') == std::string::npos, "a body line holds no tab");
    require(stored.size() == decoded.size() + 3 * tabs, "a tab becomes four blanks");
}

void checkLookup(const POP3::Message& message) {
    const std::vector<Header>& headers = message.headers();
    for (const Header& header : headers) {
        std::string value;
        require(message.getHeader(header.name, value), "every stored name is found");
        const auto first = std::find_if(headers.begin(), headers.end(),
                                        [&](const Header& h) { return h.name == header.name; });
        require(value == first->value, "the first header of a name wins");
        const std::string other = header.name + '\x01';
        const bool stored = std::any_of(headers.begin(), headers.end(),
                                        [&](const Header& h) { return h.name == other; });
        value = "stale";
        require(message.getHeader(other, value) == stored, "lookup finds exactly stored names");
        if (!stored)
            require(value.empty(), "a failed lookup empties the value");
    }
}

// The records of a mailbox keyed by the same lines: the list must stay in
// order through lookups and erasures, with nothing lost or freed twice.
void checkList(const std::vector<std::string>& uids) {
    MessageList list;
    int number = 0;
    for (const std::string& uid : uids) {
        auto holder = std::make_unique<POP3::Message>(++number, uid.c_str());
        if (!uid.empty() && (static_cast<unsigned char>(uid[0]) & 1))
            holder->flags = POP3::Message::Deleted;
        list.pushBack(holder);
        require(holder == nullptr, "pushBack empties the holder");
    }
    require(list.count() == static_cast<int>(uids.size()), "every record is in the list");
    for (const std::string& raw : uids) {
        const std::string uid = raw.c_str(); // the record keeps the text before a zero byte
        POP3::Message* found = list.findByUid(uid);
        require(found != nullptr && found->uid == uid, "every uid is found");
        for (POP3::Message& message : list) {
            if (message.uid == uid) {
                require(&message == found, "the first record of a uid is found");
                break;
            }
        }
    }
    const int deleted = list.countDeleted();
    require(deleted >= 0 && deleted <= list.count(), "deleted records are some of the records");
    int kept = 0;
    for (auto position = list.begin(); position != list.end();) {
        if (position->number % 2 == 0) {
            position = list.erase(position);
        } else {
            require(position->number == 2 * kept + 1, "erasing keeps the others in order");
            ++kept;
            ++position;
        }
    }
    require(list.count() == kept, "erased records are gone");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> lines = splitLines(data, size);
    int32_t code = 0;
    std::memcpy(&code, data, std::min(size, sizeof code));

    POP3::Message message(1, "fuzz");
    long long expectedReceived = 2;
    bool inBody = false;
    for (const std::string& raw : lines) {
        checkDecoding(raw);
        if (!inBody && raw.empty()) {
            inBody = true;
            continue;
        }
        std::string line = raw;
        const std::string decoded = decodedCopy(raw);
        expectedReceived += static_cast<long long>(raw.size()) + 2;
        if (inBody) {
            message.receiveBodyLine(line);
            checkBodyLine(message.lines().back(), decoded);
        } else {
            message.receiveHeaderLine(line);
            checkHeader(message.headers().back(), decoded);
        }
        require(line == decoded, "the caller's line is left decoded");
    }
    require(message.received ==
                std::min<long long>(expectedReceived, std::numeric_limits<int>::max()),
            "received counts every raw line with its CR LF");
    require(!message.probe(code), "no record has a capability");
    checkLookup(message);
    checkList(lines);
    return 0;
}
