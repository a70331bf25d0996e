#include "net/POP3Client.h"

#include "net/CertificateCheck.h"
#include "net/MessageList.h"
#include "net/POP3Exception.h"
#include "net/POP3Message.h"
#include "net/SocketAddress.h"
#include "net/TlsChannel.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace POP3 {

namespace {

// A connection left open by a failed check may be dead: when the client is
// destroyed its farewell "quit" must not hold the program for the full
// time-out.
constexpr DWORD farewellTimeout = 2000;

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads a decimal int the way "%d" does (leading white space, a sign), but
// refuses values that do not fit instead of overflowing.
bool parseInt(std::string_view text, size_t& at, int& value) {
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    const size_t digits = at;
    long long magnitude = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        magnitude = magnitude * 10 + (text[at++] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (at == digits)
        return false;
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN)
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

// One line of a "uidl" listing: a message number, then the first run of
// non-blank characters after it.
bool parseUidlLine(std::string_view line, int& number, std::string& uid) {
    size_t at = 0;
    if (!parseInt(line, at, number))
        return false;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    const size_t start = at;
    while (at < line.size() && !isBlank(line[at]))
        ++at;
    if (at == start)
        return false;
    uid.assign(line.substr(start, at - start));
    return true;
}

// The size in a "list" reply ("<number> <size>"); none when it does not
// parse or is negative.
bool parseListSize(std::string_view reply, int& size) {
    size_t at = 0;
    int number = 0;
    return parseInt(reply, at, number) && parseInt(reply, at, size) && size >= 0;
}

// A failed receive or send: a broken TLS record is a failed secure
// connection, anything else a socket failure.
Exception socketFailure(const Socket::Exception& e) {
    return Exception(e.message().c_str(), "", dynamic_cast<const TlsChannel::Exception*>(&e) ? 9 : 1);
}

} // namespace

Client::Client(DWORD socketTimeout) : socketTimeout(socketTimeout) {}

void Client::setSecurity(ConnectionSecurity chosen, std::string fingerprint) {
    security = chosen;
    trustedFingerprint = std::move(fingerprint);
}

Client::~Client() {
    try {
        if (socket && socket->isConnected()) {
            socket->setTimeout(farewellTimeout);
            quit();
        }
    } catch (...) {
        // Nothing may leave a destructor; the connection is released below.
    }
    try {
        if (std::unique_ptr<Socket> last = replaceSocket(nullptr))
            last->close();
    } catch (...) {
    }
}

void Client::interrupt() {
    std::lock_guard<std::mutex> lock(socketGuard);
    interrupted = true;
    if (socket)
        socket->interrupt();
}

std::unique_ptr<Socket> Client::replaceSocket(std::unique_ptr<Socket> next) {
    std::lock_guard<std::mutex> lock(socketGuard);
    // A session interrupted before it connected must not go on to wait for
    // a server.
    if (interrupted && next)
        next->interrupt();
    std::swap(socket, next);
    return next;
}

void Client::login(const char* user, const char* password, const char* host, int port) {
    int stage = 1;
    try {
        if (socket) {
            // A connection left over from a failed check: released without
            // "quit". Taken out first, so that a failing close cannot leave
            // the account stuck with it for every later check.
            std::unique_ptr<Socket> leftover = replaceSocket(nullptr);
            leftover->close();
        }
        replaceSocket(std::make_unique<Socket>(socketTimeout));
        stage = 2;
        SocketAddress address;
        address.resolve(host, port);
        stage = 3;
        socket->connect(address);
    } catch (const Socket::Exception&) {
        throw Exception("connection failed", "", stage);
    }
    presentedFingerprint.clear();
    if (security == ConnectionSecurity::ImplicitTls)
        secure(host);
    readReply(4, discardReply);
    if (security == ConnectionSecurity::Stls) {
        requireStls();
        command("stls", 13, discardReply);
        secure(host);
    }
    command(std::string("user ") + user, 5, discardReply);
    command(std::string("pass ") + password, 5, discardReply);
    stat();
}

int Client::scan(MessageList& messages) {
    syncUids(messages);
    int unfetched = 0;
    for (const Message& message : messages)
        unfetched += (message.flags & Message::Unfetched) != 0;
    if (unfetched >= pipelineFrom && serverPipelines())
        return scanPipelined(messages);

    int fetched = 0;
    for (auto at = messages.begin(); at != messages.end();) {
        Message& message = *at;
        if (message.flags & Message::Deleted) {
            command("dele " + std::to_string(message.number), 7, discardReply);
            at = messages.erase(at);
            continue;
        }
        if (message.flags & Message::Unfetched) {
            send(listCommand(message), 7);
            readList(message);
            send(topCommand(message), 7);
            readTop(message);
            ++fetched;
        }
        ++at;
    }
    return fetched;
}

// Asked only when many messages are new: a small mailbox sees the same
// exchange as ever, and one round trip is nothing against thousands.
bool Client::serverPipelines() {
    send("capa", 7);
    std::string line;
    try {
        readReply(7, line);
    } catch (const Exception& e) {
        // A server without CAPA simply cannot pipeline; any other failure
        // is the check's.
        if (e.text != "received -ERR")
            throw;
        return false;
    }
    const unsigned long long start = socket->lineBytesRead();
    bool pipelining = false;
    while (readDataLine(line, 7, start)) {
        for (char& c : line)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        pipelining = pipelining || line == "PIPELINING";
    }
    return pipelining;
}

// The deletions one at a time, as always (they are few), then the new
// messages' "list" and "top" in batches: each batch goes out in one send
// and its replies are read in order, so the cost is a round trip a batch
// instead of two a message.
int Client::scanPipelined(MessageList& messages) {
    for (auto at = messages.begin(); at != messages.end();) {
        if (at->flags & Message::Deleted) {
            command("dele " + std::to_string(at->number), 7, discardReply);
            at = messages.erase(at);
        } else {
            ++at;
        }
    }
    int fetched = 0;
    std::vector<Message*> batch;
    std::string commands;
    auto at = messages.begin();
    while (at != messages.end()) {
        batch.clear();
        commands.clear();
        for (; at != messages.end() && batch.size() < pipelineBatch; ++at) {
            if (!(at->flags & Message::Unfetched))
                continue;
            batch.push_back(&*at);
            commands += listCommand(*at) + "\r\n" + topCommand(*at) + "\r\n";
        }
        if (batch.empty())
            break;
        sendRaw(commands);
        for (Message* message : batch) {
            readList(*message);
            readTop(*message);
            ++fetched;
        }
    }
    return fetched;
}

void Client::quit() {
    command("quit", 8, discardReply);
    if (socket) {
        std::unique_ptr<Socket> closing = replaceSocket(nullptr);
        closing->close();
    }
}

void Client::requireStls() {
    std::string reply;
    command("capa", 13, reply);
    const unsigned long long start = socket->lineBytesRead();
    bool offered = false;
    std::string line;
    while (readDataLine(line, 13, start)) {
        const std::string_view name = std::string_view(line).substr(0, line.find(' '));
        offered = offered || (name.size() == 4 && std::equal(name.begin(), name.end(), "STLS", [](char a, char b) {
                                  return std::toupper(static_cast<unsigned char>(a)) == b;
                              }));
    }
    if (!offered)
        throw Exception("the server's capabilities do not list STLS", "", 13);
}

void Client::secure(const char* host) {
    try {
        socket->startTls(host);
        const TlsChannel& channel = *socket->secureChannel();
        presentedFingerprint = CertificateCheck::fingerprint(channel.peerCertificate());
        CertificateCheck::verify(channel.peerCertificate(), host, trustedFingerprint);
    } catch (const Socket::Exception& e) {
        // Nothing more goes to a server we could not secure, not even "quit".
        replaceSocket(nullptr);
        throw socketFailure(e);
    } catch (const CertificateCheck::Exception& e) {
        replaceSocket(nullptr);
        const int code = e.fault == CertificateCheck::Fault::NameMismatch ? 11
                         : e.fault == CertificateCheck::Fault::Expired    ? 12
                                                                          : 10;
        throw Exception(e.message().c_str(), "", code);
    }
}

void Client::command(const std::string& text, int code, std::string& reply) {
    send(text, code);
    readReply(code, reply);
}

void Client::send(const std::string& text, int code) {
    // A line break inside a user name or password would smuggle a command
    // of its own to the server.
    if (text.find_first_of("\r\n") != std::string::npos)
        throw Exception("command contains a line break", "", code);
    sendRaw(text + "\r\n");
}

void Client::sendRaw(const std::string& lines) {
    if (!socket)
        throw Exception("not connected", "", 1);
    try {
        socket->sendString(lines);
    } catch (const Socket::Exception& e) {
        throw socketFailure(e);
    }
}

void Client::readReply(int code, std::string& reply, bool traced) {
    std::string line;
    if (!socket)
        throw Exception("not connected", "", 1);
    const unsigned long long start = socket->lineBytesRead();
    readDataLine(line, code, start);

    const size_t space = line.find(' ');
    const std::string status = line.substr(0, space);
    reply.clear();
    if (space != std::string::npos) {
        const size_t text = line.find_first_not_of(" \n\r", space + 1);
        if (text != std::string::npos)
            reply = line.substr(text);
        if (traced)
            OutputDebugStringA((reply + "\n").c_str());
    }

    if (status == "+OK")
        return;
    if (status == "-ERR")
        throw Exception("received -ERR", reply.c_str(), code);
    throw Exception("invalid response", line.c_str(), code);
}

bool Client::readDataLine(std::string& line, int code, unsigned long long replyStart) {
    try {
        socket->readLine(line);
    } catch (const Socket::Exception& e) {
        if (e.wsaError == WSAEMSGSIZE)
            throw Exception("reply too long", "", code);
        throw socketFailure(e);
    }
    if (socket->lineBytesRead() - replyStart > maxReplyBytes)
        throw Exception("reply too long", "", code);
    return line != ".";
}

void Client::stat() {
    std::string reply;
    command("stat", 6, reply);
}

void Client::syncUids(MessageList& messages) {
    for (Message& message : messages)
        message.flags |= Message::NotListed;

    std::string reply;
    command("uidl", 7, reply);
    const unsigned long long start = socket->lineBytesRead();

    // The first record of each unique id, as a walk of the list would find
    // it; new records go to the end, so a record found here is always the
    // first match. This keeps a listing of many thousands linear.
    std::unordered_map<std::string_view, Message*> firstByUid;
    for (Message& message : messages)
        firstByUid.emplace(message.uid, &message);

    std::string line;
    std::string uid;
    size_t listed = 0;
    while (readDataLine(line, 7, start)) {
        int number = 0;
        // A line that does not parse names no message; it is passed over
        // rather than mistaken for the line before it.
        if (!parseUidlLine(line, number, uid) || number < 1)
            continue;
        if (uid.size() > maxUidLength)
            throw Exception("unique id too long", "", 7);
        if (++listed > maxListedMessages)
            throw Exception("too many messages", "", 7);
        const auto found = firstByUid.find(uid);
        if (found != firstByUid.end()) {
            found->second->number = number;
            found->second->flags &= ~static_cast<uint32_t>(Message::NotListed);
        } else {
            auto holder = std::make_unique<Message>(number, uid.c_str());
            Message* added = holder.get();
            messages.pushBack(holder);
            firstByUid.emplace(added->uid, added);
        }
    }

    for (auto at = messages.begin(); at != messages.end();) {
        if (at->flags & Message::NotListed)
            at = messages.erase(at);
        else
            ++at;
    }
}

std::string Client::listCommand(const Message& message) {
    return "list " + std::to_string(message.number);
}

std::string Client::topCommand(const Message& message) const {
    return "top " + std::to_string(message.number) + " " + std::to_string(topLines);
}

// The replies of one message are not traced: thousands of them would cost
// the debugger a round trip each and tell it nothing the session's steps
// do not.
void Client::readList(Message& message) {
    std::string reply;
    readReply(7, reply, false);
    int size = 0;
    // A reply without a usable size leaves the size unknown (0) rather
    // than taking whatever the text happens to start with.
    message.size = parseListSize(reply, size) ? size : 0;
}

void Client::readTop(Message& message) {
    readReply(7, discardReply, false);
    const unsigned long long start = socket->lineBytesRead();

    std::string line;
    size_t keptHeader = 0;
    size_t keptBody = 0;
    int bodyLines = 0;
    bool inBody = false;
    unsigned long long lineStart = start;
    while (readDataLine(line, 7, start)) {
        // What the line took on the wire: more than the line itself when the
        // reader had to cut it.
        const size_t octets = static_cast<size_t>(socket->lineBytesRead() - lineStart);
        lineStart = socket->lineBytesRead();
        if (!inBody && line.empty()) {
            inBody = true;
            continue;
        }
        // A server that ignores the line count, or sends absurd headers,
        // gets its lines read and counted but not kept.
        size_t& kept = inBody ? keptBody : keptHeader;
        if (kept + line.size() > maxKeptBytesPerPart || (inBody && bodyLines >= topLines)) {
            message.countReceived(octets);
            continue;
        }
        const size_t length = line.size();
        kept += length;
        if (inBody) {
            message.receiveBodyLine(line);
            ++bodyLines;
        } else {
            message.receiveHeaderLine(line);
        }
        if (octets > length + 2)
            message.countReceived(octets - length - 2);
    }
    message.compact();
    message.flags = 0;
}

} // namespace POP3
