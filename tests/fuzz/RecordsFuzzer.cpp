// libFuzzer entry over the message records and the decoders of what they
// hold. The input is read as a TOP reply split at line feeds: header lines
// up to the first empty line, body lines after it, each fed to a record
// exactly as a session would, then decoded as the menu shows it. Any byte is
// allowed anywhere. Besides the sanitizers' checks, the properties below
// must hold for every input; a broken one aborts, which libFuzzer reports as
// a crash with the input that caused it.
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "mail/Utf8.h"
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

// What a reader sees is text: well-formed UTF-8, whatever the bytes were,
// and 8-bit-free text without encoded words is shown as it came.
void checkHeaderText(const std::string& raw) {
    const std::string text = decodeHeaderText(raw);
    require(isUtf8(text), "header text is well-formed UTF-8");
    if (isUtf8(raw) && raw.find("=?") == std::string::npos)
        require(text == raw, "text without encoded words is kept");
    std::string cut = text;
    cutText(cut, 7);
    require(isUtf8(cut) && cut.size() <= text.size() + 3, "a cut text stays UTF-8 and ends in one ellipsis");
}

void checkPreview(const POP3::Message& message) {
    const BodyPreview preview = previewBody(message.headers(), message.lines());
    require(preview.lines.size() <= message.lines().size(), "a preview has no more lines than were fetched");
    require(preview.textFound || preview.lines.empty(), "no text part gives no lines");
    for (const std::string& line : preview.lines) {
        require(isUtf8(line), "preview lines are well-formed UTF-8");
        require(line.find('\t') == std::string::npos, "a preview line holds no tab");
    }
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

void checkBodyLine(const std::string& stored, const std::string& raw) {
    require(stored == raw, "a body line is kept as it came");
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
        if (!inBody && raw.empty()) {
            inBody = true;
            continue;
        }
        std::string line = raw;
        expectedReceived += static_cast<long long>(raw.size()) + 2;
        if (inBody) {
            message.receiveBodyLine(line);
            checkBodyLine(message.lines().back(), raw);
        } else {
            message.receiveHeaderLine(line);
            checkHeader(message.headers().back(), raw);
            checkHeaderText(message.headers().back().value);
        }
    }
    checkHeaderText(headerValue(message.headers(), "subject"));
    checkPreview(message);
    require(message.received ==
                std::min<long long>(expectedReceived, std::numeric_limits<int>::max()),
            "received counts every raw line with its CR LF");
    require(!message.probe(code), "no record has a capability");
    checkLookup(message);
    checkList(lines);
    return 0;
}
