#pragma once

#include <windows.h>

#include <string>
#include <string_view>

class Account;

// What keeps a profile from being stored so that it reads back exactly as
// it was entered. Each answers an empty text when the value is fine, or a
// message for the user saying what to change. The options dialog calls the
// field checks as a field is entered; saveProfiles refuses, before it
// changes anything, a list that holds a profile with a problem.

// A comma would split the field when the line is read back; a NUL would
// end the line there.
std::string hostProblem(std::string_view host);
std::string userProblem(std::string_view user);
// The client command may hold commas (paths and "rundll32 dll,entry"
// commands do); the reader gives the surplus fields back to it.
std::string clientCommandProblem(std::string_view command);
// A password is refused when a byte of it would scramble to a comma or a
// NUL, which bytes below 0x80 never do, or when its scrambled bytes would
// not survive the registry's conversion through the ANSI code page.
std::string passwordProblem(std::string_view password);
// Every field above, then the length of the whole line (maxProfileLine).
// The message names the profile by its title.
std::string profileProblem(const Account& account);

// Whether the registry, which keeps text as Unicode and converts what the
// ...A functions hand it through the ANSI code page, gives back exactly
// these bytes in `codePage`.
bool survivesCodePage(std::string_view text, UINT codePage);
