#include "servers/Pop3Server.h"

#include "net/MsgException.h"
#include "net/Socket.h"
#include "servers/Loopback.h"
#include "servers/Pop3Session.h"
#include "servers/ServerConnection.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr auto acceptSlice = std::chrono::milliseconds(20);

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One line of an endless reply: listing lines for "uidl", header lines that
// never reach the empty line for anything else.
std::string endlessLine(bool listing, size_t number) {
    const std::string n = std::to_string(number);
    return listing ? n + " endless-" + n : "X-Endless-" + n + ": this reply has no end";
}

} // namespace

Pop3Server::Pop3Server(Pop3Mailbox initial, Pop3ServerSettings settings)
    : settings(std::move(settings)) {
    for (Pop3Message& message : initial)
        add(std::move(message));
    listener = listenOnLoopback(this->settings.port, listenPort);
    worker = std::thread([this] { run(); });
}

Pop3Server::~Pop3Server() {
    stopping = true;
    worker.join();
    ::closesocket(listener);
}

void Pop3Server::add(Pop3Message message) {
    std::lock_guard lock(mutex);
    const bool taken = std::any_of(mailbox.begin(), mailbox.end(),
                                   [&](const Pop3Message& m) { return m.uid == message.uid; });
    if (taken)
        throw MsgException(("test server: unique id \"" + message.uid + "\" is taken").c_str());
    mailbox.push_back(std::move(message));
}

bool Pop3Server::remove(const std::string& uid) {
    std::lock_guard lock(mutex);
    const auto found = std::find_if(mailbox.begin(), mailbox.end(),
                                    [&](const Pop3Message& m) { return m.uid == uid; });
    if (found == mailbox.end())
        return false;
    mailbox.erase(found);
    return true;
}

std::vector<std::string> Pop3Server::uids() const {
    std::lock_guard lock(mutex);
    std::vector<std::string> present;
    for (const Pop3Message& message : mailbox)
        present.push_back(message.uid);
    return present;
}

std::vector<std::string> Pop3Server::transcript() const {
    std::lock_guard lock(mutex);
    return lines;
}

std::vector<std::string> Pop3Server::takeTranscript() {
    std::lock_guard lock(mutex);
    return std::exchange(lines, {});
}

void Pop3Server::clearTranscript() {
    std::lock_guard lock(mutex);
    lines.clear();
}

int Pop3Server::sessions() const {
    std::lock_guard lock(mutex);
    return sessionCount;
}

void Pop3Server::setFault(const std::string& key, Pop3Fault fault) {
    std::lock_guard lock(mutex);
    faults[lowerCase(key)] = std::move(fault);
}

void Pop3Server::refuse(const std::string& key, std::string statusLine) {
    if (statusLine.compare(0, 4, "-ERR") != 0)
        throw MsgException("test server: a refusal begins with -ERR");
    answer(key, std::move(statusLine));
}

void Pop3Server::answer(const std::string& key, std::string statusLine) {
    std::lock_guard lock(mutex);
    faults[lowerCase(key)].replacement = Pop3Reply::line(std::move(statusLine));
}

void Pop3Server::answer(const std::string& key, std::string statusLine,
                        std::vector<std::string> data) {
    std::lock_guard lock(mutex);
    faults[lowerCase(key)].replacement =
        Pop3Reply::multiLine(std::move(statusLine), std::move(data));
}

void Pop3Server::closeAfter(const std::string& key, size_t bytes) {
    std::lock_guard lock(mutex);
    Pop3Fault& fault = faults[lowerCase(key)];
    fault.cut = Pop3Fault::Cut::Close;
    fault.cutAfter = bytes;
}

void Pop3Server::stallAfter(const std::string& key, size_t bytes) {
    std::lock_guard lock(mutex);
    Pop3Fault& fault = faults[lowerCase(key)];
    fault.cut = Pop3Fault::Cut::Stall;
    fault.cutAfter = bytes;
}

void Pop3Server::endless(const std::string& key, size_t byteLimit) {
    std::lock_guard lock(mutex);
    Pop3Fault& fault = faults[lowerCase(key)];
    fault.endless = true;
    fault.endlessLimit = byteLimit;
}

void Pop3Server::clearFault(const std::string& key) {
    std::lock_guard lock(mutex);
    faults.erase(lowerCase(key));
}

void Pop3Server::clearFaults() {
    std::lock_guard lock(mutex);
    faults.clear();
}

std::optional<Pop3Fault> Pop3Server::faultFor(const std::string& line) const {
    const std::string command = lowerCase(line);
    std::lock_guard lock(mutex);
    const Pop3Fault* best = nullptr;
    size_t bestLength = 0;
    for (const auto& [key, fault] : faults) {
        const bool matches = command.compare(0, key.size(), key) == 0 &&
                             (command.size() == key.size() || command[key.size()] == ' ');
        if (matches && (!best || key.size() > bestLength)) {
            best = &fault;
            bestLength = key.size();
        }
    }
    return best ? std::optional<Pop3Fault>(*best) : std::nullopt;
}

void Pop3Server::record(const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
}

void Pop3Server::expunge(const std::vector<std::string>& removed) {
    std::lock_guard lock(mutex);
    std::erase_if(mailbox, [&](const Pop3Message& m) {
        return std::find(removed.begin(), removed.end(), m.uid) != removed.end();
    });
}

void Pop3Server::run() {
    while (!stopping) {
        if (!readable(listener, acceptSlice))
            continue;
        const SOCKET peer = ::accept(listener, nullptr, nullptr);
        if (peer != INVALID_SOCKET)
            serve(peer);
    }
}

void Pop3Server::serve(SOCKET peer) {
    ServerConnection connection(peer, stopping);
    Pop3Mailbox snapshot;
    {
        std::lock_guard lock(mutex);
        ++sessionCount;
        snapshot = mailbox;
    }
    Pop3Session session(settings.user, settings.password, std::move(snapshot));
    if (!respond(connection, greeting, [&] { return session.greeting(); }))
        return;
    while (!session.ended()) {
        std::string line;
        if (connection.readLine(line, settings.idleLimit) != ServerConnection::Outcome::Done)
            return;
        record(line);
        const bool goOn = respond(connection, line, [&] {
            Pop3Reply reply = session.execute(line);
            // Before the reply leaves: a client that has read "+OK" to its
            // "quit" finds the mailbox already updated.
            if (session.ended())
                expunge(session.expunged());
            return reply;
        });
        if (!goOn)
            return;
    }
    connection.close();
}

bool Pop3Server::respond(ServerConnection& connection, const std::string& key,
                         const std::function<Pop3Reply()>& properReply) {
    const std::optional<Pop3Fault> fault = faultFor(key);
    if (fault && fault->endless) {
        stream(connection, key, fault->endlessLimit);
        return false;
    }
    const std::string bytes =
        (fault && fault->replacement ? *fault->replacement : properReply()).wireBytes();
    const Pop3Fault::Cut cut = fault ? fault->cut : Pop3Fault::Cut::None;
    const size_t length =
        cut == Pop3Fault::Cut::None ? bytes.size() : std::min(bytes.size(), fault->cutAfter);
    if (connection.send(bytes.data(), length, settings.idleLimit) !=
        ServerConnection::Outcome::Done)
        return false;
    switch (cut) {
    case Pop3Fault::Cut::None:
        return true;
    case Pop3Fault::Cut::Close:
        connection.close();
        return false;
    case Pop3Fault::Cut::Stall:
        stall(connection);
        return false;
    }
    return false;
}

void Pop3Server::stream(ServerConnection& connection, const std::string& key, size_t byteLimit) {
    const bool listing = lowerCase(key).compare(0, 4, "uidl") == 0;
    if (connection.send("+OK\r\n", 5, settings.idleLimit) != ServerConnection::Outcome::Done)
        return;
    size_t sent = 5;
    size_t number = 1;
    std::string chunk;
    while (sent < byteLimit) {
        chunk.clear();
        while (chunk.size() < 64 * 1024)
            chunk += endlessLine(listing, number++) + "\r\n";
        if (connection.send(chunk, settings.idleLimit) != ServerConnection::Outcome::Done)
            return;
        sent += chunk.size();
    }
    connection.close();
}

void Pop3Server::stall(ServerConnection& connection) {
    // Nothing more is sent; what the client still sends is recorded, and its
    // close ends the stall.
    const auto deadline = std::chrono::steady_clock::now() + settings.stallLimit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        std::string line;
        if (connection.readLine(line, left) != ServerConnection::Outcome::Done)
            return;
        record(line);
    }
}
