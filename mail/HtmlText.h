#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lines a reader sees of an HTML text (UTF-8): tags dropped, the content
// of script, style, head and title dropped, comments dropped, character
// references and the common named entities decoded (others stay as they
// came), runs of white space shown as one blank, a new line at the block
// elements (br, p, div, tr, li, headings, ...), empty lines left out. A tag
// the fetch limit cut off at the end is dropped. At most `maxLines` lines.
std::vector<std::string> htmlLines(std::string_view html, size_t maxLines);
