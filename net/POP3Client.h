#pragma once

#include "net/ConnectionSecurity.h"
#include "net/POP3Message.h"
#include "net/Socket.h"

#include <windows.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MessageList;

namespace POP3 {

class Message;

// The client side of one POP3 mailbox. A check is login, scan, quit; every
// failure is a POP3::Exception whose code names the step that failed. The
// client keeps no message text of its own: what it reads goes to the
// message records of the list it is given.
class Client {
public:
    // Bounds against servers that never stop sending. A check that crosses
    // one fails with the code of the step instead of eating memory or time.
    // One multi-line reply ("uidl" or "top") may stream at most this much:
    static constexpr size_t maxReplyBytes = 64 * 1024 * 1024;
    // A listing may name at most this many messages:
    static constexpr size_t maxListedMessages = 100000;
    // Unique ids are at most 70 characters by the protocol; longer ones are
    // kept whole (so two ids never become one) up to this length:
    static constexpr size_t maxUidLength = 1000;
    // Of one message, the header lines and the body lines are each kept up
    // to this many bytes; the rest is read and counted as received, but not
    // kept:
    static constexpr size_t maxKeptBytesPerPart = 64 * 1024;

    // socketTimeout: milliseconds any single receive or send may wait.
    explicit Client(DWORD socketTimeout = Socket::defaultTimeout);
    // Ends a session left open by a failed check ("quit", then close) and
    // never lets a failure escape.
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void login(const char* user, const char* password, const char* host, int port);
    // Reconciles the list with the server and fetches what is new; returns
    // the number of messages fetched.
    int scan(MessageList& messages);
    void quit();

    bool hasSocket() const { return socket != nullptr; }

    // The one call that another thread may make while a session runs: it
    // ends the connection under the session, whose step then fails with
    // code 1 at once instead of waiting for the server; a login that has
    // not connected yet fails too. For a program that must quit now.
    void interrupt();

    // How the next login secures its connection. trustedFingerprint is the
    // SHA-256 fingerprint (64 upper-case hex digits) of the one certificate
    // the user chose to trust for this profile, or empty.
    void setSecurity(ConnectionSecurity security, std::string trustedFingerprint = {});
    // The SHA-256 fingerprint of the certificate the server presented in the
    // last handshake, refused or not; empty when there was none.
    const std::string& serverFingerprint() const { return presentedFingerprint; }

    const int topLines = 30;

    // A first check pipelines "list" and "top" when this many messages are
    // new and the server says it can; a batch puts this many messages'
    // commands in flight at once.
    static constexpr int pipelineFrom = 32;
    static constexpr size_t pipelineBatch = 64;

private:
    // Fails with code 13 unless "capa" lists STLS.
    void requireStls();
    // The handshake and the certificate check; presentedFingerprint is set
    // as soon as there is a certificate.
    void secure(const char* host);
    void command(const std::string& text, int code, std::string& reply);
    void send(const std::string& text, int code);
    void sendRaw(const std::string& lines);
    void readReply(int code, std::string& reply, bool traced = true);
    bool readDataLine(std::string& line, int code, unsigned long long replyStart);
    void stat();
    void syncUids(MessageList& messages);
    bool serverPipelines();
    int scanPipelined(MessageList& messages);
    static std::string listCommand(const Message& message);
    std::string topCommand(const Message& message) const;
    void readList(Message& message);
    void readTop(Message& message);

    // Puts `next` in place of the socket and answers the one it replaces,
    // under socketGuard, which interrupt() takes too.
    std::unique_ptr<Socket> replaceSocket(std::unique_ptr<Socket> next);

    std::unique_ptr<Socket> socket;
    std::mutex socketGuard;
    bool interrupted = false;
    DWORD socketTimeout;
    // The reply texts nobody reads (greeting, "user", "pass", "top", "dele",
    // "quit") go here; one per session, as sessions run side by side.
    std::string discardReply;
    ConnectionSecurity security = ConnectionSecurity::None;
    std::string trustedFingerprint;
    std::string presentedFingerprint;
    // Where "top" gathers a message's lines before the message takes them.
    Message reading{0, nullptr};
};

} // namespace POP3
