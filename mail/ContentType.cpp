#include "mail/ContentType.h"

#include "mail/AsciiText.h"
#include "mail/TransferEncoding.h"

#include <cctype>
#include <map>

namespace {

// One parameter value: quoted (backslash escapes the next character) or a
// token up to the next ";". `at` ends behind it.
std::string parameterValue(std::string_view text, size_t& at) {
    std::string value;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (at < text.size() && text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (text[at] == '\\' && at + 1 < text.size())
                ++at;
            value += text[at];
        }
        const size_t next = text.find(';', at);
        at = next == std::string_view::npos ? text.size() : next;
        return value;
    }
    const size_t next = text.find(';', at);
    const size_t end = next == std::string_view::npos ? text.size() : next;
    value = trimmedBlanks(text.substr(at, end - at));
    at = end;
    return value;
}

} // namespace

ContentType parseContentType(std::string_view value) {
    ContentType result;
    const size_t semicolon = value.find(';');
    const std::string type = asciiLower(trimmedBlanks(value.substr(0, semicolon)));
    if (type.find('/') != std::string::npos)
        result.type = type;
    // Sections of split parameters by name and number; "*" sections are
    // percent-encoded after a charset and a language.
    std::map<std::string, std::map<unsigned, std::string>> parameters;
    size_t at = semicolon == std::string_view::npos ? value.size() : semicolon;
    while (at < value.size()) {
        ++at; // the ";"
        const size_t equals = value.find('=', at);
        if (equals == std::string_view::npos)
            break;
        std::string name = asciiLower(trimmedBlanks(value.substr(at, equals - at)));
        at = equals + 1;
        std::string text = parameterValue(value, at);
        unsigned section = 0;
        const size_t star = name.find('*');
        if (star != std::string::npos) {
            const bool encoded = name.back() == '*';
            for (size_t i = star + 1; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
                section = section * 10 + static_cast<unsigned>(name[i] - '0') % 1000;
            if (encoded) {
                if (section == 0) {
                    const size_t quote = text.find('\'', text.find('\'') + 1);
                    if (quote != std::string::npos)
                        text.erase(0, quote + 1);
                }
                for (char& c : text)
                    if (c == '%')
                        c = '=';
                std::string decoded;
                appendQuotedPrintable(text, decoded, false);
                text = std::move(decoded);
            }
            name.erase(star);
        }
        parameters[name][section % 1000] += text;
    }
    for (auto& [name, sections] : parameters) {
        std::string joined;
        for (const auto& [section, text] : sections)
            joined += text;
        if (name == "charset")
            result.charset = joined;
        else if (name == "boundary")
            result.boundary = joined;
    }
    return result;
}

std::string headerToken(std::string_view value) {
    value = trimmedBlanks(value);
    return asciiLower(value.substr(0, value.find_first_of("; \t")));
}
