#include "mail/TransferEncoding.h"

namespace {

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool appendBase64(std::string_view text, std::string& out) {
    bool clean = true;
    unsigned bits = 0;
    int count = 0;
    // A group of two or three characters, padded or cut by the fetch
    // limit, still gives its one or two whole bytes.
    const auto flush = [&] {
        if (count == 1)
            clean = false;
        else if (count == 2)
            out += static_cast<char>((bits >> 4) & 0xFF);
        else if (count == 3) {
            out += static_cast<char>((bits >> 10) & 0xFF);
            out += static_cast<char>((bits >> 2) & 0xFF);
        }
        bits = 0;
        count = 0;
    };
    for (const char c : text) {
        const int value = base64Value(c);
        if (value < 0) {
            if (c == '=')
                flush();
            else if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                clean = false;
            continue;
        }
        bits = (bits << 6) | static_cast<unsigned>(value);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    flush();
    return clean;
}

void appendQuotedPrintable(std::string_view text, std::string& out, bool underscoreIsBlank) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else if (c == '_' && underscoreIsBlank) {
            out += ' ';
        } else {
            out += c;
        }
    }
}
