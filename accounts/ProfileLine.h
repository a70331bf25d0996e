#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class Account;

// One stored profile is one line of ten comma-separated fields:
//   host,user,scrambled password,show icon,colour,interval,check
//   automatically,client command,delete immediately,port followed by "d"
// and then the letters of the options that differ from their defaults
// ("q": no balloon for new mail; "s": STLS, "i": implicit TLS), and for a
// TLS profile that trusts one certificate, ":" and its SHA-256 fingerprint
// in upper-case hex. A profile with every option at its default is stored
// exactly as older versions store it, and older versions read only the
// port's digits, so they load every line of ours unchanged but for the
// options they do not know. The fields have no quoting and no escape.
constexpr std::size_t profileFieldCount = 10;

// Older versions format the line into a buffer of 1000 bytes, so a longer
// line would overflow theirs if they saved it again; we never write one.
constexpr std::size_t maxProfileLine = 999;

// The account's line, password scrambled. The caller makes sure the fields
// can be carried (see profileProblem); this only formats.
std::string formatProfileLine(const Account& account);

// The line's fields, at most ten; fewer when the line has fewer commas. A
// line with more than nine commas has commas in its client command (the one
// text field that may hold them), so the last two fields are taken from the
// end and everything between the seventh comma and the second-last one is
// the client command.
std::vector<std::string_view> splitProfileLine(std::string_view line);

// Applies the line's fields to a new account in the order of the line,
// through the account's setters. Fields the line lacks keep the account's
// defaults; a port of 0 means the default port 110.
void applyProfileLine(Account& account, std::string_view line);
