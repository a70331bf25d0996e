#include "servers/Pop3Server.h"

#include "net/Socket.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// A client that neither sends nor reads for this long is dropped, so that no
// client, however it behaves, holds a test.
constexpr auto idleLimit = std::chrono::seconds(10);
// An endless reply ends here, past every bound of the client.
constexpr size_t endlessLimit = 80 << 20;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string multiLine(const std::string& status, const std::vector<std::string>& data) {
    std::string bytes = status + "\r\n";
    for (const std::string& row : data)
        bytes += (row.starts_with('.') ? "." : "") + row + "\r\n";
    return bytes + ".\r\n";
}

// One slice of a wait, which its caller repeats while it watches its bounds.
bool ready(SOCKET s, bool forWriting) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval slice{0, 20000};
    return ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &slice) != 0;
}

SOCKET listenOnLoopback(int wantedPort, int& port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<u_short>(wantedPort));
    int length = sizeof address;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(s, SOMAXCONN) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw Socket::Exception("listening on 127.0.0.1 failed");
    port = ntohs(address.sin_port);
    return s;
}

} // namespace

Pop3Message::Pop3Message(std::string uid, const std::string& text) : uid(std::move(uid)) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
}

size_t Pop3Message::size() const {
    size_t octets = 0;
    for (const std::string& line : lines)
        octets += line.size() + 2;
    return octets;
}

Pop3Server::Pop3Server(Pop3Mailbox initial, Pop3ServerSettings settings)
    : settings(std::move(settings)), mailbox(std::move(initial)) {
    listener = listenOnLoopback(this->settings.port, listenPort);
    worker = std::thread([this] {
        while (!stopping) {
            const SOCKET peer = ready(listener, false) ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
            if (peer != INVALID_SOCKET)
                serve(peer);
        }
    });
}

Pop3Server::~Pop3Server() {
    stopping = true;
    worker.join();
    ::closesocket(listener);
}

void Pop3Server::add(Pop3Message message) {
    std::lock_guard lock(mutex);
    mailbox.push_back(std::move(message));
}

void Pop3Server::remove(const std::string& uid) {
    std::lock_guard lock(mutex);
    std::erase_if(mailbox, [&](const Pop3Message& m) { return m.uid == uid; });
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

void Pop3Server::record(const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
}

int Pop3Server::sessions() const {
    std::lock_guard lock(mutex);
    return sessionCount;
}

void Pop3Server::answer(const std::string& key, const std::string& statusLine, const std::vector<std::string>& data) {
    raw(key, multiLine(statusLine, data));
}

void Pop3Server::edit(const std::string& key, const std::function<void(Fault&)>& change) {
    std::lock_guard lock(mutex);
    change(faults[lowerCase(key)]);
}

void Pop3Server::clearFaults() {
    std::lock_guard lock(mutex);
    faults.clear();
}

Pop3Server::Fault Pop3Server::faultFor(const std::string& line) const {
    std::lock_guard lock(mutex);
    // The longest key that is the command, or the command with its leading arguments.
    for (std::string key = lowerCase(line);; key.erase(key.rfind(' '))) {
        if (const auto found = faults.find(key); found != faults.end())
            return found->second;
        if (key.find(' ') == std::string::npos)
            return {};
    }
}

// One connection, on its own copy of the mailbox, so that the message numbers
// stay put while the test changes the mailbox.
void Pop3Server::serve(SOCKET peer) {
    Pop3Mailbox box;
    {
        std::lock_guard lock(mutex);
        ++sessionCount;
        box = mailbox;
    }
    std::vector<bool> deleted(box.size());
    std::string pending, user;
    bool authorized = false, ended = false;
    u_long nonBlocking = 1;
    ::ioctlsocket(peer, FIONBIO, &nonBlocking);
    // Every reply goes out at once, not when Nagle's algorithm lets it.
    BOOL noDelay = TRUE;
    ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

    auto wait = [&](bool forWriting, Clock::time_point deadline) {
        while (!stopping && Clock::now() < deadline)
            if (ready(peer, forWriting))
                return true;
        return false;
    };
    auto readLine = [&](std::string& line, Clock::time_point deadline) {
        size_t feed;
        while ((feed = pending.find('\n')) == std::string::npos) {
            char buffer[4096];
            const int count = wait(false, deadline) ? ::recv(peer, buffer, sizeof buffer, 0) : 0;
            if (count == 0 || (count < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
                return false;
            pending.append(buffer, static_cast<size_t>(std::max(count, 0)));
        }
        line = pending.substr(0, feed - (feed > 0 && pending[feed - 1] == '\r'));
        pending.erase(0, feed + 1);
        return true;
    };
    auto send = [&](const std::string& bytes, size_t chunk) {
        for (size_t at = 0; at < bytes.size();) {
            const size_t piece = std::min(bytes.size() - at, chunk ? chunk : bytes.size());
            if (!wait(true, Clock::now() + idleLimit))
                return false;
            const int sent = ::send(peer, bytes.data() + at, static_cast<int>(piece), 0);
            if (sent < 0 && WSAGetLastError() != WSAEWOULDBLOCK)
                return false;
            at += static_cast<size_t>(std::max(sent, 0));
            if (chunk)
                Sleep(1); // apart, so that the pieces arrive apart
        }
        return true;
    };

    auto execute = [&](const std::string& line) -> std::string {
        std::istringstream words(line);
        std::string verb;
        size_t n = 0, bodyLines = 0;
        words >> verb >> n >> bodyLines;
        verb = lowerCase(verb);
        // A password may hold blanks: "user" and "pass" take the rest of the line.
        const std::string rest = line.substr(std::min(line.size(), verb.size() + 1));
        if (verb == "quit") {
            // Before the reply leaves: a client that has read "+OK" finds the mailbox updated.
            for (size_t i = 0; authorized && i < box.size(); ++i)
                if (deleted[i])
                    remove(box[i].uid);
            ended = true;
        } else if (verb == "user") {
            user = rest;
        } else if (verb == "pass") {
            authorized = user == settings.user && rest == settings.password;
        }
        std::vector<std::string> listing;
        size_t octets = 0;
        for (size_t i = 0; i < box.size(); ++i)
            if (!deleted[i]) {
                listing.push_back(std::to_string(i + 1) + " " + box[i].uid);
                octets += box[i].size();
            }
        const std::string drop = std::to_string(listing.size()) + " " + std::to_string(octets);
        if (verb == "quit" || verb == "user" || (verb == "pass" && authorized))
            return verb == "quit" ? "+OK Pellmor test POP3 server signing off\r\n"
                   : verb == "user" ? "+OK send the password\r\n"
                                    : "+OK " + user + "'s maildrop has " + std::to_string(listing.size()) +
                                          " messages (" + std::to_string(octets) + " octets)\r\n";
        if (!authorized)
            return "-ERR invalid user name or password\r\n";
        if (verb == "stat")
            return "+OK " + drop + "\r\n";
        if (verb == "uidl")
            return multiLine("+OK", listing);
        if (n < 1 || n > box.size() || deleted[n - 1])
            return "-ERR no such message\r\n";
        const std::vector<std::string>& text = box[n - 1].lines;
        if (verb == "list")
            return "+OK " + std::to_string(n) + " " + std::to_string(box[n - 1].size()) + "\r\n";
        if (verb == "dele") {
            deleted[n - 1] = true;
            return "+OK\r\n";
        }
        // top: the headers, the empty line, then as many body lines as asked for.
        const size_t blank = static_cast<size_t>(std::find(text.begin(), text.end(), "") - text.begin());
        const size_t end = std::min(text.size(), blank + 1 + bodyLines);
        return multiLine("+OK", std::vector<std::string>(text.begin(), text.begin() + static_cast<ptrdiff_t>(end)));
    };

    // The reply to one command or the fault set for it; false when the
    // connection is to end.
    auto respond = [&](const std::string& key, const std::function<std::string()>& properReply) {
        const Fault fault = faultFor(key);
        if (fault.endlessUnit) {
            std::string repeated;
            while (repeated.size() < (64 << 10))
                repeated += *fault.endlessUnit;
            bool open = send(fault.bytes.value_or("+OK\r\n"), 0);
            for (size_t sent = 0; open && sent < endlessLimit; sent += repeated.size())
                open = send(repeated, 0);
            return false;
        }
        std::string bytes = fault.bytes ? *fault.bytes : properReply();
        bytes.resize(fault.cut == Fault::None ? bytes.size() : std::min(bytes.size(), fault.cutAfter));
        if (!send(bytes, fault.chunk))
            return false;
        // A stall is silence; what the client still sends is recorded.
        const auto stallEnd = Clock::now() + settings.stallLimit;
        for (std::string line; fault.cut == Fault::Stall && readLine(line, stallEnd);)
            record(line);
        return fault.cut == Fault::None;
    };

    bool open = respond(greeting, [] { return "+OK Pellmor test POP3 server ready\r\n"; });
    for (std::string line; open && !ended && readLine(line, Clock::now() + idleLimit);) {
        record(line);
        open = respond(line, [&] { return execute(line); });
    }
    ::shutdown(peer, 1);
    // Unread bytes from the client would turn the close into a reset, which
    // can destroy what the client has not read yet.
    char buffer[4096];
    for (int chunk = 0; chunk < 64 && ::recv(peer, buffer, sizeof buffer, 0) > 0; ++chunk) {
    }
    ::closesocket(peer);
}

int closedLoopbackPort() {
    int port = 0;
    ::closesocket(listenOnLoopback(0, port));
    return port;
}
