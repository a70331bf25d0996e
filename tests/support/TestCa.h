#pragma once

#include <string>

// Makes the test prefix's current user trust the throwaway CA of the Dovecot
// fixture (a DER file, given by its Windows path), as a user who imported it
// would. Only the prefix's own store changes, never the machine's. Returns
// what failed, or an empty text.
std::string trustTestCa(const std::string& derPath);
