#pragma once

#include <string>
#include <string_view>

// Appends `bytes`, written in the MIME charset `charset` (any letter case,
// an RFC 2231 language suffix "*en" allowed), to `out` as UTF-8.
// - No charset, or US-ASCII with 8-bit bytes in it: well-formed UTF-8 is
//   taken as UTF-8 (RFC 6532), anything else as the system's ANSI code page,
//   which is how such text was always shown.
// - A charset the system cannot convert: the ASCII bytes stay and every
//   other byte shows as U+FFFD, so the reader sees that something could not
//   be read and never loses the text around it.
void appendCharsetText(std::string_view charset, std::string_view bytes, std::string& out);
