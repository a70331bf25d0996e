#pragma once

// The account profiles kept between runs: one REG_SZ value per account
// under this key of HKEY_CURRENT_USER, named by the account's position and
// holding its profile line (accounts/ProfileLine.h). The key holds nothing
// else. AccountList::loadProfiles and AccountList::saveProfiles
// (accounts/AccountList.h) read and write it; the checks below say what a
// profile must look like to be stored.
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileLine.h"
#include "accounts/ProfileProblems.h"

inline constexpr char profileKeyPath[] = "Software\\Harrowden\\Pellmor\\1.0\\AccountProfiles";
// Where a save writes the new profiles first, in the same form, so that a
// registry failure part-way through replacing the profile key loses nothing:
// while it holds its value "complete", this key has the whole newest set and
// loading reads it instead. It is deleted once the profile key holds the set.
// Older versions never look here.
inline constexpr char savingKeyPath[] = "Software\\Harrowden\\Pellmor\\SavingProfiles";
