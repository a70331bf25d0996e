// libFuzzer entry over the message records and the decoders of what they
// hold. The input is read as a TOP reply split at line feeds: header lines
// up to the first empty line, body lines after it, each fed to a record
// exactly as a session would, then decoded as the menu shows it. Any byte is
// allowed anywhere. Besides the sanitizers' checks, the properties below
// must hold for every input; a broken one aborts, which libFuzzer reports as
// a crash with the input that caused it. The split of a header line has no
// unit test besides: its property is exact, and the seeds (corpus/) hold it
// on every run. The decoders' unit tests pin chosen lines exactly.
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "mail/Utf8.h"
#include "net/POP3Message.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// What a reader sees is text: well-formed UTF-8, whatever the bytes were,
// and 8-bit-free text without encoded words is shown as it came.
void checkHeaderText(std::string_view raw) {
    const std::string text = decodeHeaderText(raw);
    require(isUtf8(text), "header text is well-formed UTF-8");
    require(!isUtf8(raw) || raw.find("=?") != raw.npos || text == raw,
            "text without encoded words is kept");
}

// The name is the text before the first colon; the value is the rest, only
// blanks cut from its front, its tabs made blanks.
void checkHeader(const Header& header, std::string line) {
    const size_t colon = line.find(':');
    require(header.name == line.substr(0, colon == std::string::npos ? 0 : colon),
            "the name is the text before the first colon");
    line.erase(0, colon == std::string::npos ? 0 : colon + 1);
    std::replace(line.begin(), line.end(), '\t', ' ');
    require(header.value == line.substr(std::min(line.size(), line.find_first_not_of(' '))),
            "the value is the rest, blanks cut from its front");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    POP3::Message message(1, "fuzz");
    bool inBody = false;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line, raw; std::getline(in, line);) {
        raw = line; // the record may take the line's text
        if (!inBody && raw.empty()) {
            inBody = true;
        } else if (inBody) {
            message.receiveBodyLine(line);
            require(message.lines().back() == raw, "a body line is kept as it came");
        } else {
            message.receiveHeaderLine(line);
            checkHeader(message.headers().back(), raw);
            checkHeaderText(message.headers().back().value);
        }
    }
    checkHeaderText(headerValue(message.headers(), "subject"));
    const BodyPreview preview = previewBody(message.headers(), message.lines());
    require(preview.lines.size() <= message.lines().size(), "no more lines than were fetched");
    require(preview.textFound || preview.lines.empty(), "no text part gives no lines");
    for (const std::string& line : preview.lines)
        require(isUtf8(line) && line.find('\t') == std::string::npos, "preview lines are text");
    return 0;
}
