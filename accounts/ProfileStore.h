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
