#include "mail/Charset.h"

#include "mail/AsciiText.h"
#include "mail/SystemCodePage.h"
#include "mail/Utf8.h"

#include <array>

namespace {

enum : unsigned {
    unknownCharset = ~0u,
    noCharset = ~1u,   // raw: UTF-8 when it is, else the ANSI code page
    latin1 = 28591,
    utf8 = 65001,
    eucJp = 20932,
    iso2022Jp = 50220, // converted to EUC-JP here: not every system has it
};

struct Alias {
    std::string_view name;
    unsigned codePage;
};

// Labels seen in mail for the code pages Windows has; the numbered families
// (windows-125x, cp*, iso-8859-x) are read from the name below.
constexpr std::array aliases{
    Alias{"utf-8", utf8},           Alias{"utf8", utf8},          Alias{"unicode-1-1-utf-8", utf8},
    Alias{"us-ascii", noCharset},   Alias{"ascii", noCharset},    Alias{"ansi_x3.4-1968", noCharset},
    Alias{"latin1", latin1},        Alias{"l1", latin1},          Alias{"iso_8859-1", latin1},
    Alias{"koi8-r", 20866},         Alias{"koi8-u", 21866},       Alias{"gb2312", 936},
    Alias{"gbk", 936},              Alias{"x-gbk", 936},          Alias{"euc-cn", 936},
    Alias{"gb18030", 936},          Alias{"big5", 950},           Alias{"big5-hkscs", 950},
    Alias{"shift_jis", 932},        Alias{"shift-jis", 932},      Alias{"sjis", 932},
    Alias{"x-sjis", 932},           Alias{"windows-31j", 932},    Alias{"euc-jp", eucJp},
    Alias{"iso-2022-jp", iso2022Jp}, Alias{"euc-kr", 949},        Alias{"ks_c_5601-1987", 949},
    Alias{"tis-620", 874},          Alias{"ibm866", 866},
};

unsigned numberAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 5)
        return unknownCharset;
    unsigned number = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return unknownCharset;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

unsigned codePageOf(std::string_view charset) {
    const size_t language = charset.find('*');
    if (language != std::string_view::npos)
        charset = charset.substr(0, language);
    if (charset.empty())
        return noCharset;
    const std::string name = asciiLower(charset);
    for (const Alias& alias : aliases)
        if (alias.name == name)
            return alias.codePage;
    const unsigned iso = numberAfter(name, "iso-8859-");
    if (iso == 1)
        return latin1;
    if (iso >= 2 && iso <= 15 && iso != 10 && iso != 11 && iso != 12 && iso != 14)
        return 28590 + iso;
    for (const std::string_view prefix : {"windows-", "cp", "x-cp"}) {
        const unsigned number = numberAfter(name, prefix);
        if (number != unknownCharset && number != 0)
            return number;
    }
    return unknownCharset;
}

// ISO-2022-JP switches between ASCII, JIS X 0201 and JIS X 0208 by escape
// sequences; in EUC-JP the same characters are the 0208 byte pairs with the
// high bit set and the 0201 katakana behind 0x8E.
std::string iso2022JpToEucJp(std::string_view bytes) {
    enum { ascii, kanji, katakana } mode = ascii;
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x1B && i + 2 < bytes.size()) {
            const std::string_view escape = bytes.substr(i + 1, 2);
            if (escape == "$B" || escape == "$@")
                mode = kanji;
            else if (escape == "(B" || escape == "(J")
                mode = ascii;
            else if (escape == "(I")
                mode = katakana;
            else {
                out += bytes[i];
                continue;
            }
            i += 2;
        } else if (c == '\n' || c == '\r' || c < 0x21 || c > 0x7E || mode == ascii) {
            out += bytes[i];
        } else if (mode == katakana) {
            out += '\x8E';
            out += static_cast<char>(c | 0x80);
        } else {
            out += static_cast<char>(c | 0x80);
        }
    }
    return out;
}

void appendUnknown(std::string_view bytes, std::string& out) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) < 0x80)
            out += byte;
        else
            appendCodePoint(out, 0xFFFD);
    }
}

} // namespace

void appendCharsetText(std::string_view charset, std::string_view bytes, std::string& out) {
    unsigned codePage = codePageOf(charset);
    if (codePage == noCharset) {
        if (isUtf8(bytes))
            out += bytes;
        else if (!systemToUtf8(systemAnsiCodePage, bytes, out))
            appendUnknown(bytes, out);
        return;
    }
    if (codePage == utf8) {
        appendRepairedUtf8(out, bytes);
        return;
    }
    if (codePage == latin1) {
        for (const char byte : bytes)
            appendCodePoint(out, static_cast<unsigned char>(byte));
        return;
    }
    std::string converted;
    if (codePage == iso2022Jp) {
        converted = iso2022JpToEucJp(bytes);
        bytes = converted;
        codePage = eucJp;
    }
    if (codePage == unknownCharset || !systemToUtf8(codePage, bytes, out))
        appendUnknown(bytes, out);
}
