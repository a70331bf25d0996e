#include "support/TestCa.h"

#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

std::string trustTestCa(const std::string& derPath) {
    std::ifstream in(derPath, std::ios::binary);
    const std::vector<BYTE> der{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (der.empty())
        return "cannot read " + derPath;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
    if (!store)
        return "CertOpenStore failed: " + std::to_string(GetLastError());
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                         static_cast<DWORD>(der.size()),
                                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    return added ? std::string() : "CertAddEncodedCertificateToStore failed: " + std::to_string(error);
}
