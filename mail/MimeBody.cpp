#include "mail/MimeBody.h"

#include "mail/AsciiText.h"
#include "mail/Charset.h"
#include "mail/ContentType.h"
#include "mail/HeaderText.h"
#include "mail/HtmlText.h"
#include "mail/TransferEncoding.h"
#include "mail/Utf8.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

// Multiparts nest this deep at most; deeper ones are not searched.
constexpr int deepestPart = 16;

// A decoded paragraph (quoted-printable joins its soft-broken lines, HTML
// and base64 text have no line length) is cut to what a menu item shows.
// Lines as fetched are never cut: they look exactly as they always did.

struct Part {
    ContentType type;
    std::string encoding; // lower case, empty for none
    bool attachment = false;
    size_t begin = 0, end = 0; // its body lines
    bool found = false;
};

Part describe(const std::vector<Header>& headers) {
    Part part;
    part.type = parseContentType(headerValue(headers, "Content-Type"));
    part.encoding = headerToken(headerValue(headers, "Content-Transfer-Encoding"));
    part.attachment = headerToken(headerValue(headers, "Content-Disposition")) == "attachment";
    return part;
}

class TextFinder {
public:
    explicit TextFinder(const std::vector<std::string_view>& lines) : lines(lines) {}

    void search(Part part, size_t begin, size_t end, int depth) {
        if (plain.found)
            return;
        part.begin = begin;
        part.end = end;
        if (part.type.isMultipart()) {
            if (!part.type.boundary.empty() && depth < deepestPart)
                searchParts(part.type.boundary, begin, end, depth);
        } else if (!part.attachment && part.type.type == "text/plain") {
            plain = part;
            plain.found = true;
        } else if (!part.attachment && part.type.type == "text/html" && !html.found) {
            html = part;
            html.found = true;
        }
    }

    Part plain, html;

private:
    // The parts between the delimiter lines of one boundary; the last one
    // runs to the end of the range when the fetch cut it.
    void searchParts(const std::string& boundary, size_t begin, size_t end, int depth) {
        const std::string delimiter = "--" + boundary;
        size_t partStart = std::string::npos;
        for (size_t i = begin; i < end && !plain.found; ++i) {
            const std::string_view line = lines[i];
            if (!line.starts_with(delimiter))
                continue;
            const std::string_view rest = withoutTrailingBlanks(line.substr(delimiter.size()));
            if (!rest.empty() && rest != "--")
                continue;
            if (partStart != std::string::npos)
                searchPart(partStart, i, depth);
            if (rest == "--")
                return;
            partStart = i + 1;
        }
        if (partStart != std::string::npos)
            searchPart(partStart, end, depth);
    }

    void searchPart(size_t begin, size_t end, int depth) {
        std::vector<Header> headers;
        for (size_t i = begin; i < end; ++i) {
            const std::string_view line = lines[i];
            if (line.empty()) {
                search(describe(headers), i + 1, end, depth + 1);
                return;
            }
            Header header;
            const size_t colon = line.find(':');
            const bool continuation = colon == std::string_view::npos || line[0] == ' ' || line[0] == '\t';
            if (!continuation)
                header.name = line.substr(0, colon);
            const size_t from = line.find_first_not_of(" \t", continuation ? 0 : colon + 1);
            header.value = line.substr(std::min(line.size(), from));
            headers.push_back(std::move(header));
        }
        // Its headers run past the fetched lines: nothing of it to show.
    }

    const std::vector<std::string_view>& lines;
};

std::string decodedBytes(const Part& part, const std::vector<std::string_view>& lines) {
    std::string bytes;
    if (part.encoding == "base64") {
        std::string text;
        for (size_t i = part.begin; i < part.end; ++i)
            text += lines[i];
        appendBase64(text, bytes);
    } else if (part.encoding == "quoted-printable") {
        for (size_t i = part.begin; i < part.end; ++i) {
            std::string_view line = withoutTrailingBlanks(lines[i]);
            const bool soft = line.ends_with('=');
            if (soft)
                line.remove_suffix(1);
            appendQuotedPrintable(line, bytes, false);
            if (!soft && i + 1 < part.end)
                bytes += '\n';
        }
    } else {
        for (size_t i = part.begin; i < part.end; ++i) {
            if (i > part.begin)
                bytes += '\n';
            bytes += lines[i];
        }
    }
    return bytes;
}

std::vector<std::string> splitLines(const std::string& text, size_t maxLines) {
    std::vector<std::string> result;
    size_t start = 0;
    while (result.size() < maxLines) {
        const size_t end = text.find('\n', start);
        std::string_view line = std::string_view(text).substr(start, end == std::string::npos ? end : end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        result.emplace_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return result;
}

void expandTabs(std::string& line) {
    for (size_t at = line.find('\t'); at != std::string::npos; at = line.find('\t', at + 4))
        line.replace(at, 1, 4, ' ');
}

} // namespace

BodyPreview previewBody(const std::vector<Header>& headers, const std::vector<std::string_view>& fetched) {
    BodyPreview preview;
    if (fetched.empty())
        return preview;
    // The server doubled every "." that begins a line (RFC 1939).
    std::vector<std::string_view> lines(fetched.begin(), fetched.end());
    for (std::string_view& line : lines)
        if (line.starts_with('.'))
            line.remove_prefix(1);
    TextFinder finder(lines);
    const Part message = describe(headers);
    finder.search(message, 0, lines.size(), 0);
    const Part& text = finder.plain.found ? finder.plain : finder.html;
    if (!text.found) {
        preview.textFound = false;
        return preview;
    }
    const std::string utf8 = [&] {
        std::string out;
        appendCharsetText(text.type.charset, decodedBytes(text, lines), out);
        return out;
    }();
    preview.lines = &text == &finder.html ? htmlLines(utf8, lines.size()) : splitLines(utf8, lines.size());
    // Only a message as it was fetched keeps its trailing empty lines; those
    // of a part stand before its delimiter or its base64 padding.
    const bool asFetched = !message.type.isMultipart() && text.encoding != "base64" &&
                           text.encoding != "quoted-printable";
    while (!asFetched && !preview.lines.empty() && preview.lines.back().empty())
        preview.lines.pop_back();
    for (std::string& line : preview.lines) {
        expandTabs(line);
        if (!asFetched)
            cutText(line, longestShownText);
    }
    return preview;
}
