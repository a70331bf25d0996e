#pragma once

// The one place where the decoders need the system: converting the bytes of
// a code page to UTF-8. Windows converts every code page it has installed
// (MultiByteToWideChar); the native build, which exists for the sanitizers
// and the fuzzer, knows only the system code page and takes it to be
// ISO-8859-1, and answers false for every other one.

#include <string>
#include <string_view>

// The system's ANSI code page, which 8-bit text without a charset was
// always shown in.
constexpr unsigned systemAnsiCodePage = 0;

// Appends the bytes of `codePage` as UTF-8 and answers true, or answers
// false and appends nothing when the system cannot convert that code page.
bool systemToUtf8(unsigned codePage, std::string_view bytes, std::string& out);
