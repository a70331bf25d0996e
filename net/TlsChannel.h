#pragma once

#include "net/Socket.h"

#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstddef>
#include <string>
#include <vector>

// TLS over a connected Socket through the system's own TLS (SChannel). The
// socket owns the channel and sends and receives its records: the socket's
// time-out bounds every wait of a handshake, a record or the close. The
// channel does not judge the server's certificate: it hands it over
// (peerCertificate) for the program's own check.
class TlsChannel {
public:
    // A refused handshake, a record that does not decrypt, the server's
    // alert. A Socket::Exception, so that callers that know nothing of TLS
    // still see a failed connection; status is the SSPI result.
    class Exception : public Socket::Exception {
    public:
        Exception(const char* text, SECURITY_STATUS status);

        std::string message() const override;

        SECURITY_STATUS status;
    };

    explicit TlsChannel(Socket& socket);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The client's side of the handshake; host is sent as the server name
    // (SNI) the certificate is asked for.
    void handshake(const std::string& host);
    // Decrypted bytes, at most length; 0 once the peer has closed.
    int receive(char* buffer, int length);
    // Encrypts and sends all of data, in as many records as it takes.
    void send(const char* data, size_t length);
    // Tells the peer that this side is done (close_notify).
    void shutdown();

    // What the server presented in the handshake; null before it.
    PCCERT_CONTEXT peerCertificate() const { return certificate; }

private:
    void negotiate(bool first);
    void readMore();
    void sendAll(const char* data, size_t length);

    Socket& socket;
    std::string host;
    CredHandle credentials{};
    CtxtHandle context{};
    bool haveCredentials = false;
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes{};
    // Received from the peer and not decrypted yet.
    std::vector<char> incoming;
    size_t incomingSize = 0;
    // Decrypted and not handed out yet.
    std::vector<char> plain;
    size_t plainStart = 0;
    size_t handshakeBytes = 0;
    PCCERT_CONTEXT certificate = nullptr;
};
