#include "mail/HtmlText.h"

#include "mail/Utf8.h"

#include <array>
#include <cctype>

namespace {

struct Entity {
    std::string_view name;
    char32_t codePoint;
};

constexpr std::array entities{
    Entity{"amp", '&'},      Entity{"lt", '<'},       Entity{"gt", '>'},         Entity{"quot", '"'},
    Entity{"apos", '\''},    Entity{"nbsp", ' '},     Entity{"copy", 0xA9},      Entity{"reg", 0xAE},
    Entity{"euro", 0x20AC},  Entity{"ndash", 0x2013}, Entity{"mdash", 0x2014},   Entity{"hellip", 0x2026},
    Entity{"lsquo", 0x2018}, Entity{"rsquo", 0x2019}, Entity{"ldquo", 0x201C},   Entity{"rdquo", 0x201D},
    Entity{"bull", 0x2022},  Entity{"middot", 0xB7},  Entity{"laquo", 0xAB},     Entity{"raquo", 0xBB},
    Entity{"auml", 0xE4},    Entity{"ouml", 0xF6},    Entity{"uuml", 0xFC},      Entity{"Auml", 0xC4},
    Entity{"Ouml", 0xD6},    Entity{"Uuml", 0xDC},    Entity{"szlig", 0xDF},     Entity{"eacute", 0xE9},
    Entity{"egrave", 0xE8},  Entity{"agrave", 0xE0},  Entity{"ccedil", 0xE7},    Entity{"zwnj", 0x200C},
};

// Elements whose content is not text for the reader.
constexpr std::array<std::string_view, 4> hiddenElements{"script", "style", "head", "title"};

// Elements that begin or end a line.
constexpr std::array<std::string_view, 17> blockElements{
    "br", "p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6", "table", "ul", "ol", "blockquote", "hr", "body"};

template <size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
    for (const std::string_view candidate : names)
        if (candidate == name)
            return true;
    return false;
}

// Finds `what` at or after `from`, ignoring ASCII letter case.
size_t findNoCase(std::string_view text, std::string_view what, size_t from) {
    for (size_t at = from; at + what.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < what.size() && std::tolower(static_cast<unsigned char>(text[at + i])) == what[i])
            ++i;
        if (i == what.size())
            return at;
    }
    return std::string_view::npos;
}

class HtmlReader {
public:
    HtmlReader(std::string_view html, size_t maxLines) : html(html), maxLines(maxLines) {}

    std::vector<std::string> read() {
        size_t at = 0;
        while (at < html.size() && lines.size() < maxLines) {
            const char c = html[at];
            if (c == '<')
                at = tag(at);
            else if (c == '&')
                at = entity(at);
            else {
                if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
                    blank();
                else
                    line += c;
                ++at;
            }
        }
        endLine();
        if (lines.size() > maxLines)
            lines.resize(maxLines);
        return std::move(lines);
    }

private:
    void blank() {
        if (!line.empty() && line.back() != ' ')
            line += ' ';
    }

    void endLine() {
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
        line.clear();
    }

    // Returns the position behind the tag, or the end when it never ends.
    size_t tag(size_t at) {
        if (html.compare(at, 4, "<!--") == 0) {
            const size_t end = html.find("-->", at + 4);
            return end == std::string_view::npos ? html.size() : end + 3;
        }
        const size_t close = html.find('>', at);
        if (close == std::string_view::npos)
            return html.size();
        size_t nameStart = at + 1;
        if (nameStart < close && html[nameStart] == '/')
            ++nameStart;
        std::string name;
        for (size_t i = nameStart; i < close && std::isalnum(static_cast<unsigned char>(html[i])); ++i)
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[i])));
        if (isOneOf(name, blockElements))
            endLine();
        if (nameStart == at + 1 && isOneOf(name, hiddenElements)) {
            const size_t end = findNoCase(html, "</" + name, close);
            if (end == std::string_view::npos)
                return html.size();
            const size_t endClose = html.find('>', end);
            return endClose == std::string_view::npos ? html.size() : endClose + 1;
        }
        return close + 1;
    }

    size_t entity(size_t at) {
        const size_t near = html.substr(at, 12).find(';');
        if (near != std::string_view::npos) {
            const size_t semicolon = at + near;
            const std::string_view name = html.substr(at + 1, semicolon - at - 1);
            char32_t codePoint = 0;
            if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                for (size_t i = hex ? 2 : 1; i < name.size(); ++i) {
                    const int digit = std::isdigit(static_cast<unsigned char>(name[i]))
                                          ? name[i] - '0'
                                          : (hex && std::isxdigit(static_cast<unsigned char>(name[i]))
                                                 ? std::tolower(static_cast<unsigned char>(name[i])) - 'a' + 10
                                                 : -1);
                    if (digit < 0 || codePoint > 0x10FFFF) {
                        codePoint = 0;
                        break;
                    }
                    codePoint = codePoint * (hex ? 16 : 10) + static_cast<char32_t>(digit);
                }
            } else {
                for (const Entity& entity : entities)
                    if (entity.name == name)
                        codePoint = entity.codePoint;
            }
            if (codePoint != 0) {
                if (codePoint == ' ')
                    blank();
                else
                    appendCodePoint(line, codePoint);
                return semicolon + 1;
            }
        }
        line += '&';
        return at + 1;
    }

    std::string_view html;
    size_t maxLines;
    std::vector<std::string> lines;
    std::string line;
};

} // namespace

std::vector<std::string> htmlLines(std::string_view html, size_t maxLines) {
    return HtmlReader(html, maxLines).read();
}
