#include "support/TestCa.h"

#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

std::string trustTestCa(const std::string& derPath) {
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
