// CryptHashCertificate2 is Vista's, which the SDK hides from the XP target
// the rest of the program names; the system's TLS 1.2 needs Vista anyway.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "net/CertificateCheck.h"

#include <bcrypt.h>

#include <cstdio>
#include <memory>

namespace CertificateCheck {

namespace {

constexpr DWORD timeErrors = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID;

// The chain's trust bits in words, those that servers get wrong.
std::string trustText(DWORD status) {
    static constexpr std::pair<DWORD, const char*> names[] = {
        {CERT_TRUST_IS_NOT_TIME_VALID, "not valid today"},
        {CERT_TRUST_IS_REVOKED, "revoked"},
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "bad signature"},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "not for servers"},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, "untrusted root"},
        {CERT_TRUST_IS_CYCLIC, "cyclic chain"},
        {CERT_TRUST_IS_PARTIAL_CHAIN, "partial chain: the issuer is unknown"},
    };
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(status));
    std::string text = std::string("chain trust status ") + number;
    for (const auto& [bit, name] : names)
        if (status & bit)
            text += std::string(", ") + name;
    return text;
}

struct ChainHolder {
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    ~ChainHolder() {
        if (chain)
            CertFreeCertificateChain(chain);
    }
};

} // namespace

Exception::Exception(const std::string& text, Fault fault) : MsgException(text.c_str()), fault(fault) {}

std::string Exception::message() const {
    return "Certificate: " + MsgException::message() + "\n";
}

std::string fingerprint(PCCERT_CONTEXT certificate) {
    // Hashed here: Wine 8 keeps no CERT_SHA256_HASH_PROP_ID for a certificate.
    BYTE hash[32];
    DWORD size = sizeof hash;
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, hash, &size) ||
        size != sizeof hash)
        return {};
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const BYTE byte : hash) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

void verify(PCCERT_CONTEXT certificate, const std::string& host, const std::string& trustedFingerprint) {
    if (!trustedFingerprint.empty()) {
        if (fingerprint(certificate) != trustedFingerprint)
            throw Exception("not the certificate trusted for this account (SHA-256 " + trustedFingerprint + ")",
                            Fault::Untrusted);
        return;
    }

    LPSTR serverUse[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverUse;
    ChainHolder held;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                 &held.chain))
        throw Exception("CertGetCertificateChain failed: " + describeStatus(GetLastError(), "no description"),
                        Fault::Untrusted);

    std::wstring wideHost(host.size(), L'\0');
    wideHost.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, host.data(), static_cast<int>(host.size()),
                                                            wideHost.data(), static_cast<int>(wideHost.size()))));
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslPara{};
    sslPara.cbSize = sizeof sslPara;
    sslPara.dwAuthType = AUTHTYPE_SERVER;
    sslPara.pwszServerName = wideHost.data();
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &sslPara;
    CERT_CHAIN_POLICY_STATUS policy{};
    policy.cbSize = sizeof policy;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, held.chain, &policyPara, &policy))
        throw Exception("CertVerifyCertificateChainPolicy failed: " +
                            describeStatus(GetLastError(), "no description"),
                        Fault::Untrusted);

    // The chain's own status first: the system's policy check has been
    // seen to pass a chain that ends at no root at all. A name or a date
    // vouched for by nobody says nothing, so distrust outranks them.
    const DWORD trust = held.chain->TrustStatus.dwErrorStatus;
    if (trust & ~timeErrors)
        throw Exception("not trusted: " + trustText(trust), Fault::Untrusted);
    if (trust & timeErrors || policy.dwError == static_cast<DWORD>(CERT_E_EXPIRED))
        throw Exception("expired or not yet valid: " + describeStatus(policy.dwError, trustText(trust).c_str()),
                        Fault::Expired);
    if (policy.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
        throw Exception("issued for another name than " + host + ": " +
                            describeStatus(policy.dwError, "name mismatch"),
                        Fault::NameMismatch);
    if (policy.dwError != 0)
        throw Exception("not trusted: " + describeStatus(policy.dwError, "refused by the SSL policy"),
                        Fault::Untrusted);
}

} // namespace CertificateCheck
