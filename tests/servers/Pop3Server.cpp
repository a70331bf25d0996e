#include "servers/Pop3Server.h"

#include "net/Socket.h"

#include <algorithm>
#include <cctype>
#include <functional>
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
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string multiLine(const std::string& status, const std::vector<std::string>& data) {
    std::string bytes = status + "\r\n";
    for (const std::string& row : data)
        bytes += (row.starts_with('.') ? "." : "") + row + "\r\n";
    return bytes + ".\r\n";
}

// One slice of a wait that its caller repeats while it watches its bounds.
bool ready(SOCKET s, bool forWriting) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval slice{0, 20000};
    return ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &slice) != 0;
}

SOCKET listenOnLoopback(int wantedPort, int& port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<u_short>(wantedPort));
    int length = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(s, SOMAXCONN) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Socket::Exception failure("listening on 127.0.0.1 failed"); // before closesocket changes the error
        ::closesocket(s);
        throw failure;
    }
    port = ntohs(address.sin_port);
    return s;
}

} // namespace

Pop3Message::Pop3Message(std::string uid, const std::string& text) : uid(std::move(uid)) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        lines.push_back(line);
    }
}

size_t Pop3Message::size() const {
    size_t octets = 0;
    for (const std::string& line : lines)
        octets += line.size() + 2;
    return octets;
}

// One connection: the protocol on its own copy of the mailbox, so that the
// message numbers stay put while the test changes the mailbox.
class Pop3Server::Session {
public:
    Session(Pop3Server& server, SOCKET peer, Pop3Mailbox box)
        : server(server), peer(peer), box(std::move(box)), deleted(this->box.size()) {
        u_long nonBlocking = 1;
        ::ioctlsocket(peer, FIONBIO, &nonBlocking);
        // Every reply goes out at once, not when Nagle's algorithm lets it.
        BOOL noDelay = TRUE;
        ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    }

    ~Session() {
        ::shutdown(peer, 1);
        // Unread bytes from the client would turn the close into a reset,
        // which can destroy what the client has not read yet.
        char buffer[4096];
        for (int chunk = 0; chunk < 64 && ::recv(peer, buffer, sizeof buffer, 0) > 0; ++chunk) {
        }
        ::closesocket(peer);
    }

    void run() {
        bool ended = false;
        if (!respond(greeting, [] { return std::string("+OK Pellmor test POP3 server ready\r\n"); }))
            return;
        for (std::string line; !ended && readLine(line, Clock::now() + idleLimit);) {
            server.record(line);
            if (!respond(line, [&] { return execute(line, ended); }))
                return;
        }
    }

private:
    bool wait(bool forWriting, Clock::time_point deadline) {
        while (!server.stopping && Clock::now() < deadline)
            if (ready(peer, forWriting))
                return true;
        return false;
    }

    bool readLine(std::string& line, Clock::time_point deadline) {
        for (size_t feed; (feed = pending.find('\n')) == std::string::npos;) {
            char buffer[4096];
            if (!wait(false, deadline))
                return false;
            const int count = ::recv(peer, buffer, sizeof buffer, 0);
            if (count == 0 || (count < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
                return false;
            pending.append(buffer, static_cast<size_t>(std::max(count, 0)));
        }
        const size_t feed = pending.find('\n');
        line = pending.substr(0, feed - (feed > 0 && pending[feed - 1] == '\r'));
        pending.erase(0, feed + 1);
        return true;
    }

    bool send(const std::string& bytes, size_t chunk) {
        auto deadline = Clock::now() + idleLimit;
        for (size_t at = 0; at < bytes.size();) {
            if (!wait(true, deadline))
                return false;
            const size_t piece = std::min(bytes.size() - at, chunk ? chunk : size_t{64 << 10});
            const int sent = ::send(peer, bytes.data() + at, static_cast<int>(piece), 0);
            if (sent < 0 && WSAGetLastError() != WSAEWOULDBLOCK)
                return false;
            at += static_cast<size_t>(std::max(sent, 0));
            deadline = Clock::now() + idleLimit;
            if (chunk)
                Sleep(1); // apart, so that the pieces arrive apart
        }
        return true;
    }

    // Sends the reply to one command, or the fault set for it; false when
    // the connection is to end.
    bool respond(const std::string& key, const std::function<std::string()>& properReply) {
        const Fault fault = server.faultFor(key);
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
        if (fault.cut != Fault::None)
            bytes.resize(std::min(bytes.size(), fault.cutAfter));
        if (!send(bytes, fault.chunk))
            return false;
        if (fault.cut == Fault::Stall) {
            // Silence; what the client still sends is recorded.
            const auto deadline = Clock::now() + server.settings.stallLimit;
            for (std::string line; readLine(line, deadline);)
                server.record(line);
        }
        return fault.cut == Fault::None;
    }

    std::string execute(const std::string& line, bool& ended) {
        std::istringstream words(line);
        std::string verb;
        size_t n = 0, bodyLines = 0;
        words >> verb >> n >> bodyLines;
        verb = lowerCase(verb);
        // A password may hold blanks: "user" and "pass" take the rest of the line.
        const std::string rest = line.substr(std::min(line.size(), verb.size() + 1));
        if (verb == "quit") {
            ended = true;
            // Before the reply leaves: a client that has read "+OK" finds the
            // mailbox updated.
            for (size_t i = 0; authorized && i < box.size(); ++i)
                if (deleted[i])
                    server.remove(box[i].uid);
            return "+OK bye\r\n";
        }
        if (verb == "user")
            user = rest;
        if (verb == "pass")
            authorized = user == server.settings.user && rest == server.settings.password;
        if (verb == "user" || (verb == "pass" && authorized))
            return "+OK\r\n";
        if (!authorized)
            return "-ERR invalid user name or password\r\n";
        std::vector<std::string> listing;
        size_t octets = 0;
        for (size_t i = 0; i < box.size(); ++i)
            if (!deleted[i]) {
                listing.push_back(std::to_string(i + 1) + " " + box[i].uid);
                octets += box[i].size();
            }
        if (verb == "stat")
            return "+OK " + std::to_string(listing.size()) + " " + std::to_string(octets) + "\r\n";
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
        const auto blank = std::find(text.begin(), text.end(), std::string());
        const size_t end = blank == text.end()
                               ? text.size()
                               : std::min(text.size(), static_cast<size_t>(blank - text.begin()) + 1 + bodyLines);
        return multiLine("+OK", std::vector<std::string>(text.begin(), text.begin() + static_cast<ptrdiff_t>(end)));
    }

    Pop3Server& server;
    SOCKET peer;
    Pop3Mailbox box;
    std::vector<bool> deleted;
    std::string pending;
    std::string user;
    bool authorized = false;
};

Pop3Server::Pop3Server(Pop3Mailbox initial, Pop3ServerSettings settings)
    : settings(std::move(settings)), mailbox(std::move(initial)) {
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

Pop3Server::Fault& Pop3Server::fault(const std::string& key) {
    return faults[lowerCase(key)];
}

void Pop3Server::answer(const std::string& key, const std::string& statusLine) {
    raw(key, statusLine + "\r\n");
}

void Pop3Server::answer(const std::string& key, const std::string& statusLine,
                        const std::vector<std::string>& data) {
    raw(key, multiLine(statusLine, data));
}

void Pop3Server::raw(const std::string& key, std::string bytes, size_t chunk) {
    std::lock_guard lock(mutex);
    fault(key).bytes = std::move(bytes);
    fault(key).chunk = chunk;
}

void Pop3Server::closeAfter(const std::string& key, size_t bytes) {
    std::lock_guard lock(mutex);
    fault(key).cut = Fault::Close;
    fault(key).cutAfter = bytes;
}

void Pop3Server::stallAfter(const std::string& key, size_t bytes) {
    std::lock_guard lock(mutex);
    fault(key).cut = Fault::Stall;
    fault(key).cutAfter = bytes;
}

void Pop3Server::endless(const std::string& key, std::string unit) {
    std::lock_guard lock(mutex);
    fault(key).endlessUnit = std::move(unit);
}

void Pop3Server::clearFaults() {
    std::lock_guard lock(mutex);
    faults.clear();
}

Pop3Server::Fault Pop3Server::faultFor(const std::string& line) const {
    const std::string command = lowerCase(line);
    std::lock_guard lock(mutex);
    const Fault* best = nullptr;
    size_t bestLength = 0;
    for (const auto& [key, fault] : faults) {
        const bool matches = command.starts_with(key) && (command.size() == key.size() || command[key.size()] == ' ');
        if (matches && (!best || key.size() > bestLength)) {
            best = &fault;
            bestLength = key.size();
        }
    }
    return best ? *best : Fault{};
}

void Pop3Server::run() {
    while (!stopping) {
        if (!ready(listener, false))
            continue;
        const SOCKET peer = ::accept(listener, nullptr, nullptr);
        if (peer == INVALID_SOCKET)
            continue;
        Pop3Mailbox snapshot;
        {
            std::lock_guard lock(mutex);
            ++sessionCount;
            snapshot = mailbox;
        }
        Session(*this, peer, std::move(snapshot)).run();
    }
}

int closedLoopbackPort() {
    int port = 0;
    ::closesocket(listenOnLoopback(0, port));
    return port;
}
