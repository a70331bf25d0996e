#include "mail/SystemCodePage.h"

#include "mail/Utf8.h"

// Honest only for what it claims: the system code page read as ISO-8859-1,
// whose bytes are the first 256 code points. Every other code page is left
// to the caller's fallback, exactly as an unknown one on Windows.
bool systemToUtf8(unsigned codePage, std::string_view bytes, std::string& out) {
    if (codePage != systemAnsiCodePage)
        return false;
    for (const char byte : bytes)
        appendCodePoint(out, static_cast<unsigned char>(byte));
    return true;
}
