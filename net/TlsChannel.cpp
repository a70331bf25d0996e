#include "net/TlsChannel.h"

#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr ULONG requestFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                               ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                               ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                               ISC_REQ_MANUAL_CRED_VALIDATION;

// Room for several whole records (at most 16 KiB of data and some 2 KiB of
// framing each) and for a handshake flight with a long certificate chain. A
// peer whose message does not fit is not talking TLS to us.
constexpr size_t incomingCapacity = 64 * 1024;

// A handshake that has taken this much from the peer without ending is fed
// garbage or stalled on purpose; the time-out alone would never end it.
constexpr size_t handshakeLimit = 1024 * 1024;

// A buffer that SSPI allocated for us (ISC_REQ_ALLOCATE_MEMORY).
struct SspiBuffer {
    void* data = nullptr;
    ~SspiBuffer() {
        if (data)
            FreeContextBuffer(data);
    }
};

// Words for the statuses a server can cause, for a system (Wine) that has
// none of its own.
const char* statusWords(SECURITY_STATUS status) {
    switch (status) {
    case SEC_E_ILLEGAL_MESSAGE: return "an alert from the server, or a message that breaks the protocol";
    case SEC_E_INVALID_TOKEN: return "not a TLS message";
    case SEC_E_ALGORITHM_MISMATCH: return "no protocol version or cipher in common";
    case SEC_E_INCOMPLETE_MESSAGE: return "incomplete message";
    case SEC_E_DECRYPT_FAILURE:
    case SEC_E_MESSAGE_ALTERED: return "a record that does not decrypt";
    case SEC_E_UNSUPPORTED_FUNCTION: return "unsupported";
    case SEC_E_INTERNAL_ERROR: return "internal error of the system's TLS";
    default: return "no description";
    }
}

// A record starts with its type (20 to 24) and the major version 3. Checked
// before SSPI sees the bytes: a server that answers in plain text would
// otherwise have it wait for a "record" as long as its first bytes say.
void requireRecordStart(const std::vector<char>& incoming, size_t size) {
    if ((size >= 1 && (incoming[0] < 20 || incoming[0] > 24)) || (size >= 2 && incoming[1] != 3))
        throw TlsChannel::Exception("the server does not talk TLS", SEC_E_ILLEGAL_MESSAGE);
}

[[noreturn]] void peerClosed() {
    // Mid-handshake or mid-record: what was asked for cannot come any more.
    WSASetLastError(WSAEDISCON);
    throw Socket::Exception("recv() failed");
}

} // namespace

TlsChannel::Exception::Exception(const char* text, SECURITY_STATUS status)
    : Socket::Exception(text), status(status) {
    wsaError = 0;
}

std::string TlsChannel::Exception::message() const {
    return "TLS: " + MsgException::message() + ": SSPI status " +
           describeStatus(static_cast<unsigned long>(status), statusWords(status)) + "\n";
}

TlsChannel::TlsChannel(Socket& socket) : socket(socket), incoming(incomingCapacity) {}

TlsChannel::~TlsChannel() {
    if (certificate)
        CertFreeCertificateContext(certificate);
    if (haveContext)
        DeleteSecurityContext(&context);
    if (haveCredentials)
        FreeCredentialsHandle(&credentials);
}

void TlsChannel::handshake(const std::string& serverName) {
    host = serverName;
    // The system's default protocol versions and ciphers: what it considers
    // safe today is not ours to pin. The certificate is judged by the
    // program itself, never by the system's prompt or its silence.
    SCH_CREDENTIALS settings{};
    settings.dwVersion = SCH_CREDENTIALS_VERSION;
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry;
    const SECURITY_STATUS status =
        AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                  &settings, nullptr, nullptr, &credentials, &expiry);
    if (status != SEC_E_OK)
        throw Exception("AcquireCredentialsHandle failed", status);
    haveCredentials = true;

    negotiate(true);

    SECURITY_STATUS queried = QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes);
    if (queried != SEC_E_OK)
        throw Exception("QueryContextAttributes(STREAM_SIZES) failed", queried);
    queried = QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (queried != SEC_E_OK || !certificate)
        throw Exception("the server presented no certificate", queried);
}

// Runs InitializeSecurityContext until the handshake is done. Bytes that the
// last step did not use stay in incoming: the start of the first record (the
// greeting often comes with the server's last handshake message).
void TlsChannel::negotiate(bool first) {
    for (;;) {
        requireRecordStart(incoming, incomingSize);
        SecBuffer in[2] = {{static_cast<ULONG>(incomingSize), SECBUFFER_TOKEN, incoming.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
        ULONG granted = 0;
        const SECURITY_STATUS status = InitializeSecurityContextA(
            &credentials, first ? nullptr : &context, const_cast<char*>(host.c_str()), requestFlags, 0, 0,
            first ? nullptr : &inDesc, 0, first ? &context : nullptr, &outDesc, &granted, nullptr);
        SspiBuffer token{out[0].pvBuffer};
        if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED))
            haveContext = true;

        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            readMore();
            continue;
        }
        const bool failed = status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED &&
                            status != SEC_I_INCOMPLETE_CREDENTIALS;
        if (out[0].cbBuffer > 0 && token.data) {
            try {
                sendAll(static_cast<const char*>(token.data), out[0].cbBuffer);
            } catch (const Socket::Exception&) {
                // After a failure the token is the alert that tells the
                // server why; the failure is what the caller must hear of.
                if (!failed)
                    throw;
            }
        }
        if (failed)
            throw Exception("handshake failed", status);
        if (!first) {
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0) {
                std::memmove(incoming.data(), incoming.data() + incomingSize - in[1].cbBuffer, in[1].cbBuffer);
                incomingSize = in[1].cbBuffer;
            } else {
                incomingSize = 0;
            }
        }
        first = false;
        if (status == SEC_E_OK)
            return;
        // SEC_I_INCOMPLETE_CREDENTIALS asks for a client certificate: we
        // have none, and say so by calling again at once.
        if (incomingSize == 0 && status != SEC_I_INCOMPLETE_CREDENTIALS)
            readMore();
    }
}

void TlsChannel::readMore() {
    if (incomingSize == incoming.size())
        throw Exception("the server's message is too long", SEC_E_INCOMPLETE_MESSAGE);
    if (!certificate && handshakeBytes > handshakeLimit)
        throw Exception("the handshake does not end", SEC_E_INCOMPLETE_MESSAGE);
    const int count = socket.receive(incoming.data() + incomingSize,
                                     static_cast<int>(incoming.size() - incomingSize), 0);
    if (count == 0)
        peerClosed();
    incomingSize += static_cast<size_t>(count);
    handshakeBytes += static_cast<size_t>(count);
}

int TlsChannel::receive(char* buffer, int length) {
    for (;;) {
        if (plainStart < plain.size()) {
            const size_t count = std::min(plain.size() - plainStart, static_cast<size_t>(length));
            std::memcpy(buffer, plain.data() + plainStart, count);
            plainStart += count;
            return static_cast<int>(count);
        }
        if (incomingSize > 0) {
            requireRecordStart(incoming, incomingSize);
            SecBuffer parts[4] = {{static_cast<ULONG>(incomingSize), SECBUFFER_DATA, incoming.data()},
                                  {0, SECBUFFER_EMPTY, nullptr},
                                  {0, SECBUFFER_EMPTY, nullptr},
                                  {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
            const SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
            if (status != SEC_E_INCOMPLETE_MESSAGE) {
                if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
                    throw Exception("DecryptMessage failed", status);
                // Decrypted in place: the data is copied out before the bytes
                // of the next record move to the front.
                plain.clear();
                plainStart = 0;
                size_t extra = 0;
                for (const SecBuffer& part : parts) {
                    const char* data = static_cast<const char*>(part.pvBuffer);
                    if (part.BufferType == SECBUFFER_DATA)
                        plain.assign(data, data + part.cbBuffer);
                    else if (part.BufferType == SECBUFFER_EXTRA)
                        extra = part.cbBuffer;
                }
                std::memmove(incoming.data(), incoming.data() + incomingSize - extra, extra);
                incomingSize = extra;
                if (status == SEC_I_CONTEXT_EXPIRED)
                    return 0;
                // TLS 1.3 sends handshake messages (new session tickets, key
                // updates) after the handshake; they go back to SSPI.
                if (status == SEC_I_RENEGOTIATE)
                    negotiate(false);
                continue;
            }
        }
        if (incomingSize == incoming.size())
            throw Exception("the server's record is too long", SEC_E_INCOMPLETE_MESSAGE);
        const int count = socket.receive(incoming.data() + incomingSize,
                                         static_cast<int>(incoming.size() - incomingSize), 0);
        if (count == 0) {
            if (incomingSize > 0)
                peerClosed();
            return 0;
        }
        incomingSize += static_cast<size_t>(count);
    }
}

void TlsChannel::send(const char* data, size_t length) {
    std::vector<char> record;
    for (size_t done = 0; done < length;) {
        const size_t chunk = std::min(length - done, static_cast<size_t>(sizes.cbMaximumMessage));
        record.resize(sizes.cbHeader + chunk + sizes.cbTrailer);
        std::memcpy(record.data() + sizes.cbHeader, data + done, chunk);
        SecBuffer parts[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                              {static_cast<ULONG>(chunk), SECBUFFER_DATA, record.data() + sizes.cbHeader},
                              {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + chunk},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = EncryptMessage(&context, 0, &desc, 0);
        if (status != SEC_E_OK)
            throw Exception("EncryptMessage failed", status);
        sendAll(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
        done += chunk;
    }
}

void TlsChannel::shutdown() {
    DWORD kind = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof kind, SECBUFFER_TOKEN, &kind};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    SECURITY_STATUS status = ApplyControlToken(&context, &controlDesc);
    if (status != SEC_E_OK)
        throw Exception("ApplyControlToken(SCHANNEL_SHUTDOWN) failed", status);
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG granted = 0;
    status = InitializeSecurityContextA(&credentials, &context, const_cast<char*>(host.c_str()), requestFlags,
                                        0, 0, nullptr, 0, nullptr, &outDesc, &granted, nullptr);
    SspiBuffer token{out.pvBuffer};
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED)
        throw Exception("close_notify failed", status);
    if (out.cbBuffer > 0 && token.data)
        sendAll(static_cast<const char*>(token.data), out.cbBuffer);
}

void TlsChannel::sendAll(const char* data, size_t length) {
    for (size_t sent = 0; sent < length;)
        sent += static_cast<size_t>(socket.send(data + sent, static_cast<int>(length - sent), 0));
}
