#pragma once

// The decoders hand their text on as UTF-8, on every platform, so that one
// piece of code cuts it, checks it and is fuzzed; the menu widens it last.

#include <cstddef>
#include <string>
#include <string_view>

void appendCodePoint(std::string& out, char32_t codePoint);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing beyond U+10FFFF). Pure ASCII is.
bool isUtf8(std::string_view bytes);

// Appends the bytes with every ill-formed sequence replaced by U+FFFD.
void appendRepairedUtf8(std::string& out, std::string_view bytes);

// The most characters a decoded line or header shows in a menu.
inline constexpr size_t longestShownText = 200;

// Keeps at most `maxCharacters` characters of well-formed UTF-8 text; a
// longer text keeps maxCharacters - 1 and ends in "…". Never splits a
// character.
void cutText(std::string& text, size_t maxCharacters);
