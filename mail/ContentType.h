#pragma once

#include <string>
#include <string_view>

// What a Content-Type header says about its part (RFC 2045): the media type
// in lower case, and the two parameters a reader of the first lines needs.
struct ContentType {
    std::string type = "text/plain"; // what a part without the header is
    std::string charset;
    std::string boundary;

    bool isMultipart() const { return type.starts_with("multipart/"); }
};

// Parses a raw, unfolded header value. Parameter names are compared without
// regard to case, values may be quoted, and RFC 2231's split ("name*0",
// "name*1") and encoded ("name*=utf-8''...") forms are joined and decoded.
// A missing or empty type keeps text/plain.
ContentType parseContentType(std::string_view value);

// The token of a header value such as Content-Transfer-Encoding or
// Content-Disposition: up to the first ";" or blank, in lower case.
std::string headerToken(std::string_view value);
