#include "ui/CertificateTrust.h"

#include "accounts/Account.h"

namespace {

constexpr std::size_t pairsPerLine = 16;

// What each refusal means to someone who set up the profile.
std::string refusalReason(const Account& account) {
    switch (account.refusalCode) {
    case 10:
        return "Windows does not trust the certificate's issuer, as with a certificate the "
               "server made for itself (self-signed).";
    case 11:
        return "The certificate was issued for another name than " + account.host + ".";
    case 12:
        return "The certificate has expired.";
    default:
        return {};
    }
}

} // namespace

std::string groupedFingerprint(const std::string& fingerprint) {
    std::string grouped;
    for (std::size_t i = 0; i < fingerprint.size(); i += 2) {
        if (i > 0)
            grouped += (i / 2) % pairsPerLine == 0 ? '\n' : ':';
        grouped += fingerprint.substr(i, 2);
    }
    return grouped;
}

// The default answer is No: Enter must not trust a certificate unread.
bool askToTrustCertificate(HWND owner, const char* caption, const Account& account) {
    std::string text = "The server " + account.host + " presented a certificate that Pellmor refused. " +
                       refusalReason(account) + "\n\nIts SHA-256 fingerprint is:\n" +
                       groupedFingerprint(account.refusedFingerprint) +
                       "\n\nTrust it only if this is the fingerprint your provider or administrator "
                       "gave you. Pellmor will then accept this certificate from the server, and no "
                       "other.";
    if (!account.trustedFingerprint.empty())
        text += " It replaces the certificate this profile trusted so far.";
    text += "\n\nTrust this certificate?";
    return MessageBoxA(owner, text.c_str(), caption,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
