#pragma once

#include "net/NetMessage.h"

#include <string>
#include <vector>

// The first lines of a message as a reader expects them, from the headers
// and the body lines that the fetch brought, as the server sent them.
struct BodyPreview {
    std::vector<std::string> lines; // UTF-8, tabs shown as four blanks
    bool textFound = true;          // false: no text part lies within the fetched lines
};

// Takes the first text/plain part that is no attachment, else the first
// text/html one, walking nested multiparts (a part cut by the fetch limit
// counts up to where it was cut), undoes its transfer encoding
// (quoted-printable, base64) and converts its charset. HTML is read as
// htmlLines reads it. A message without a Content-Type is text/plain; one
// whose body the fetch did not reach gives no lines and no complaint.
// Decoded lines longer than 200 characters are cut with an ellipsis.
// Gives at most as many lines as were fetched: decoding never makes a
// preview longer than the plain text of the same length would be. The lines
// of a message that is neither MIME-encoded nor multipart are exactly the
// fetched ones, with the server's dot-stuffing undone and their 8-bit text
// read as decodeHeaderText reads it.
BodyPreview previewBody(const std::vector<Header>& headers, const std::vector<std::string_view>& lines);
