#include "servers/Pop3Server.h"

#include "net/Socket.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <sstream>
#include <tuple>

namespace {

// A client that neither sends nor reads for this long is dropped, and a
// stall ends after it, so that no client, however it behaves, holds a test.
constexpr DWORD idleLimit = 10000;
// How often a session that waits for its client looks whether the server stops.
constexpr DWORD waitSlice = 50;

std::string multiLine(const std::string& status, const std::vector<std::string>& data) {
    std::string bytes = status + "\r\n";
    for (const std::string& row : data)
        bytes += (row.starts_with('.') ? "." : "") + row + "\r\n";
    return bytes + ".\r\n";
}

} // namespace

Pop3Message::Pop3Message(std::string uid, const std::string& text) : uid(std::move(uid)) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
}

size_t Pop3Message::size() const {
    return std::accumulate(
        lines.begin(), lines.end(), size_t{0},
        [](size_t octets, const std::string& line) { return octets + line.size() + 2; });
}

Pop3Server::Pop3Server(Pop3Mailbox initial, Pop3ServerSettings settings)
    : settings(std::move(settings)), listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)),
      mailbox(std::move(initial)) {
    sockaddr_in address{AF_INET, htons(static_cast<u_short>(this->settings.port)), {}, {}};
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, SOMAXCONN) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw Socket::Exception("listening on 127.0.0.1 failed");
    listenPort = ntohs(address.sin_port);
    worker = std::thread([this] {
        while (!stopping) {
            fd_set set{1, {listener}}; // the listener alone
            timeval slice{0, waitSlice * 1000};
            if (::select(0, &set, nullptr, nullptr, &slice) > 0)
                serve(::accept(listener, nullptr, nullptr));
        }
    });
}

Pop3Server::~Pop3Server() {
    stopping = true;
    worker.join();
    ::closesocket(listener);
}

void Pop3Server::answer(const std::string& key, const std::string& statusLine,
                        const std::vector<std::string>& data) {
    fault(key, multiLine(statusLine, data));
}

// One connection, on its own copy of the mailbox, so that the message numbers
// stay put while the test changes the mailbox.
void Pop3Server::serve(SOCKET peer) {
    ++sessionCount;
    const Pop3Mailbox box = locked([&] { return mailbox; });
    std::vector<bool> deleted(box.size());
    std::string pending, user;
    bool authorized = false;
    Cut cut = None;
    // Waits in slices, sends bounded, and every reply goes out at once, not
    // when Nagle's algorithm lets it.
    for (const auto& [level, option, value] : {std::tuple{SOL_SOCKET, SO_RCVTIMEO, waitSlice},
                                               {SOL_SOCKET, SO_SNDTIMEO, idleLimit},
                                               {IPPROTO_TCP, TCP_NODELAY, DWORD{TRUE}}})
        ::setsockopt(peer, level, option, reinterpret_cast<const char*>(&value), sizeof value);

    auto readLine = [&](std::string& line) {
        const DWORD start = GetTickCount();
        size_t feed;
        while ((feed = pending.find('\n')) == std::string::npos) {
            char buffer[4096];
            const int count = ::recv(peer, buffer, sizeof buffer, 0);
            if (count == 0 || (count < 0 && WSAGetLastError() != WSAETIMEDOUT) || stopping ||
                GetTickCount() - start > idleLimit)
                return false;
            pending.append(buffer, static_cast<size_t>(std::max(count, 0)));
        }
        line = pending.substr(0, feed - (feed > 0 && pending[feed - 1] == '\r'));
        pending.erase(0, feed + 1);
        return true;
    };

    auto execute = [&](const std::string& line) -> std::string {
        if (line == greeting)
            return "+OK Pellmor test POP3 server ready\r\n";
        std::istringstream words(line);
        std::string verb;
        size_t n = 0, bodyLines = 0;
        words >> verb >> n >> bodyLines;
        // A password may hold blanks: "user" and "pass" take the rest of the line.
        const std::string rest = line.substr(std::min(line.size(), verb.size() + 1));
        // Only the commands that report on the whole mailbox go through it:
        // the benchmarks serve tens of thousands of messages.
        const bool whole = verb == "pass" || verb == "stat" || verb == "uidl";
        std::vector<std::string> listing;
        size_t octets = 0;
        for (size_t i = 0; whole && i < box.size(); ++i) {
            if (!deleted[i])
                listing.push_back(std::to_string(i + 1) + " " + box[i].uid);
            octets += deleted[i] ? 0 : box[i].size();
        }
        if (verb == "user")
            user = rest;
        if (verb == "pass")
            authorized = user == settings.user && rest == settings.password;
        // Before the reply leaves: a client that has read "+OK" finds the mailbox updated.
        for (size_t i = 0; verb == "quit" && authorized && i < box.size(); ++i)
            if (deleted[i])
                remove(box[i].uid);
        cut = verb == "quit" ? Close : None;
        if (verb == "user" || verb == "quit")
            return verb == "quit" ? "+OK signing off\r\n" : "+OK send the password\r\n";
        if (!authorized)
            return "-ERR invalid user name or password\r\n";
        if (verb == "pass" || verb == "stat")
            return "+OK " + user + "'s maildrop has " + std::to_string(listing.size()) +
                   " messages (" + std::to_string(octets) + " octets)\r\n";
        if (verb == "uidl")
            return multiLine("+OK", listing);
        if (n < 1 || n > box.size() || deleted[n - 1])
            return "-ERR no such message\r\n";
        deleted[n - 1] = verb == "dele";
        const std::vector<std::string>& text = box[n - 1].lines;
        if (verb != "top")
            return "+OK " + std::to_string(n) + " " + std::to_string(box[n - 1].size()) + "\r\n";
        // The headers, the empty line, then as many body lines as asked for.
        const size_t blank = std::find(text.begin(), text.end(), "") - text.begin();
        const auto end = text.begin() + std::min(text.size(), blank + 1 + bodyLines);
        return multiLine("+OK", std::vector<std::string>(text.begin(), end));
    };

    // The reply to a command, or the fault set for it, and what follows.
    auto respond = [&](const std::string& command) {
        const auto fault = locked([&]() -> std::optional<std::pair<std::string, Cut>> {
            // The longest key that is the command, or the command with its leading arguments.
            for (std::string key = command;; key.erase(key.rfind(' '))) {
                if (faults.contains(key))
                    return faults.at(key);
                if (key.find(' ') == std::string::npos)
                    return std::nullopt;
            }
        });
        const std::string bytes = fault ? fault->first : execute(command);
        cut = fault ? fault->second : cut;
        const int size = static_cast<int>(bytes.size());
        if (stopping || ::send(peer, bytes.data(), size, 0) != size)
            cut = Close;
    };

    respond(greeting);
    // A stall is silence; what the client still sends is recorded.
    for (std::string line; cut != Close && readLine(line);) {
        locked([&] { lines.push_back(line); });
        if (cut == None)
            respond(line);
    }
    ::shutdown(peer, 1);
    // Unread bytes from the client would turn the close into a reset, which
    // can destroy what the client has not read yet.
    char buffer[4096];
    for (int chunk = 0; chunk < 64 && ::recv(peer, buffer, sizeof buffer, 0) > 0; ++chunk) {
    }
    ::closesocket(peer);
}
