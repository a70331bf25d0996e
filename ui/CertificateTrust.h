#pragma once

#include <windows.h>

#include <string>

class Account;

// Asks, in a message box owned by `owner`, whether the profile should trust
// the certificate its last check refused, naming the reason and showing the
// certificate's fingerprint for the user to compare. Answers true on Yes.
bool askToTrustCertificate(HWND owner, const char* caption, const Account& account);

// A fingerprint in pairs of hex digits joined by colons, sixteen pairs to a
// line, as certificate viewers and providers print it.
std::string groupedFingerprint(const std::string& fingerprint);
