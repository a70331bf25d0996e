#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Makes the test prefix's current user trust the throwaway CA of the Dovecot
// fixture (a DER file, given by its Windows path), as a user who imported it
// would. Only the prefix's own store changes, never the machine's. Returns
// what failed, or an empty text.
inline std::string trustTestCa(const std::string& derPath) {
    std::ifstream in(derPath, std::ios::binary);
    const std::vector<BYTE> der{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
    if (der.empty())
        return "cannot read " + derPath;
    // The current user's "Root" store, as a user's import of the CA adds to.
    if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(),
                                                 static_cast<DWORD>(der.size())))
        return "CertAddEncodedCertificateToSystemStoreA failed: " + std::to_string(GetLastError());
    return "";
}
