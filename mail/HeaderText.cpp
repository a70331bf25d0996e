#include "mail/HeaderText.h"

#include "mail/AsciiText.h"
#include "mail/Charset.h"
#include "mail/TransferEncoding.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isWhitespace(char c) {
    return isBlank(c) || c == '\r' || c == '\n';
}

// Finds the next `what` at or after `from` by remembering the last answer:
// the scan over a line then stays linear however many "=?" it holds.
class NextFinder {
public:
    NextFinder(std::string_view text, std::string_view what) : text(text), what(what) {}
    size_t from(size_t start) {
        if (!searched || (found != std::string_view::npos && found < start)) {
            found = text.find(what, start);
            searched = true;
        }
        return found;
    }

private:
    std::string_view text, what;
    size_t found = std::string_view::npos;
    bool searched = false;
};

struct EncodedWord {
    std::string_view charset;
    std::string bytes;
    size_t end = 0; // behind its "?="
};

constexpr size_t longestCharset = 40;

class HeaderDecoder {
public:
    explicit HeaderDecoder(std::string_view raw) : raw(raw), ends(raw, "?="), blanks(raw, " ") {}

    std::string decode() {
        size_t i = 0;
        while (i < raw.size()) {
            EncodedWord word;
            if (raw[i] == '=' && i + 1 < raw.size() && raw[i + 1] == '?' && parseWord(i, word)) {
                addWord(word);
                i = word.end;
            } else {
                pendingRaw += raw[i++];
            }
        }
        flushWord();
        flushRaw();
        return std::move(out);
    }

private:
    bool parseWord(size_t start, EncodedWord& word) {
        const size_t charsetStart = start + 2;
        size_t question = charsetStart;
        while (question < raw.size() && raw[question] != '?' && !isWhitespace(raw[question]) &&
               question - charsetStart <= longestCharset)
            ++question;
        if (question == charsetStart || question + 2 >= raw.size() || raw[question] != '?' ||
            raw[question + 2] != '?')
            return false;
        const char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(raw[question + 1])));
        const size_t textStart = question + 3;
        const size_t textEnd = ends.from(textStart);
        if (textEnd == std::string_view::npos)
            return false;
        const size_t blank = blanks.from(textStart);
        if (blank != std::string_view::npos && blank < textEnd)
            return false;
        const std::string_view text = raw.substr(textStart, textEnd - textStart);
        if (text.find('\t') != std::string_view::npos)
            return false;
        if (encoding == 'B') {
            if (!appendBase64(text, word.bytes))
                return false;
        } else if (encoding == 'Q') {
            appendQuotedPrintable(text, word.bytes, true);
        } else {
            return false;
        }
        word.charset = raw.substr(charsetStart, question - charsetStart);
        word.end = textEnd + 2;
        return true;
    }

    void addWord(EncodedWord& word) {
        const bool onlyBlanks = pendingRaw.find_first_not_of(" \t\r\n") == std::string::npos;
        if (afterWord && onlyBlanks) {
            pendingRaw.clear(); // RFC 2047 6.2: blanks between two words are not shown
            if (!equalsIgnoringCase(word.charset, wordCharset))
                flushWord();
        } else {
            flushWord();
            flushRaw();
        }
        wordCharset = word.charset;
        wordBytes += word.bytes;
        afterWord = true;
    }

    void flushWord() {
        if (!afterWord)
            return;
        appendCharsetText(wordCharset, wordBytes, out);
        wordBytes.clear();
        afterWord = false;
    }

    void flushRaw() {
        appendCharsetText({}, pendingRaw, out);
        pendingRaw.clear();
    }

    std::string_view raw;
    NextFinder ends, blanks;
    std::string out, pendingRaw, wordBytes;
    std::string_view wordCharset;
    bool afterWord = false;
};

} // namespace

std::string decodeHeaderText(std::string_view raw) {
    return HeaderDecoder(raw).decode();
}

std::string headerValue(const std::vector<Header>& headers, std::string_view name) {
    for (size_t i = 0; i < headers.size(); ++i) {
        if (!equalsIgnoringCase(withoutTrailingBlanks(headers[i].name), name))
            continue;
        std::string value(headers[i].value);
        // A continuation holding a colon was split at it by the record.
        for (++i; i < headers.size() && (headers[i].name.empty() || isBlank(headers[i].name[0])); ++i) {
            const std::string_view part = headers[i].name;
            value += ' ';
            if (!part.empty()) {
                value.append(part.substr(std::min(part.size(), part.find_first_not_of(" \t"))));
                value += ':';
                if (!headers[i].value.empty())
                    value += ' ';
            }
            value += headers[i].value;
        }
        return value;
    }
    return {};
}
