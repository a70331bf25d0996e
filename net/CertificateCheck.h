#pragma once

#include "net/MsgException.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

// The program's own judgement of the certificate a server presented: the
// system's TLS takes any certificate unless told otherwise, so whether to
// go on talking to the server is decided here.
namespace CertificateCheck {

enum class Fault { Untrusted, NameMismatch, Expired };

// A certificate the check refuses; the text says why.
class Exception : public MsgException {
public:
    Exception(const std::string& text, Fault fault);

    std::string message() const override;

    Fault fault;
};

// The SHA-256 of the DER certificate: 64 upper-case hex digits.
std::string fingerprint(PCCERT_CONTEXT certificate);

// With a trusted fingerprint, accepts that one certificate and nothing
// else, whatever its chain, dates or name: the user chose it. Without, the
// chain must end at a trusted root, be valid today and name host.
void verify(PCCERT_CONTEXT certificate, const std::string& host, const std::string& trustedFingerprint);

} // namespace CertificateCheck
