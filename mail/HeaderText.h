#pragma once

#include "net/NetMessage.h"

#include <string>
#include <string_view>
#include <vector>

// The text a reader expects of a header value, as UTF-8: the encoded words
// of RFC 2047 ("B" and "Q" in either letter case, any charset, an RFC 2231
// language suffix) decoded, the blanks between two adjacent words removed,
// the bytes of adjacent words of one charset joined before conversion (a
// character may be split between them), and other 8-bit text read as UTF-8
// when it is well-formed (RFC 6532), else in the system code page. A
// malformed word (bad base64, no end, a blank inside) stays as it came.
std::string decodeHeaderText(std::string_view raw);

// The raw value of the first header named `name`, compared without regard
// to letter case, unfolded: the continuation lines that follow it (kept by
// the record as headers of their own, named by nothing or by text that
// starts with a blank) are joined to it with one blank. Empty without one.
std::string headerValue(const std::vector<Header>& headers, std::string_view name);
