#pragma once

// A scripted POP3 server on 127.0.0.1 for tests: it serves the commands the
// client sends (user, pass, stat, uidl, list n, top n k, dele n, quit) from a
// mailbox, one connection at a time in its own thread, records every line the
// client sent, and misbehaves on request:
//
//   Pop3Server server(sampleMailbox(2));                 // uids "a1", "b2"; alice / secret
//   server.answer("uidl", "+OK", {"1 a1", "", "abc"});   // data lines, dot-stuffed
//   server.refuse(Pop3Server::greeting, "-ERR busy");
//   server.fault("top 2", "+OK\r\nSubj", Pop3Server::Close);  // these bytes, then the end
//   server.fault("quit", "", Pop3Server::Stall);  // silence, the connection held, lines recorded
//
// A fault is keyed by a command ("top") or a command with its leading
// arguments ("top 2" matches "top 2 30", not "top 12 30"); the longest
// matching key wins and stays until clearFaults. A replaced reply is not
// carried out: an answered "dele" marks nothing, an answered "quit" ends nothing.
// Commands that arrive together in one packet are served one after another.

#include <winsock.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One message: its unique id and its lines without line ends.
struct Pop3Message {
    // A text with LF or CR LF line ends.
    Pop3Message(std::string uid, const std::string& text);
    // Octets as sent, each line with CR LF: what "list" reports.
    size_t size() const;

    std::string uid;
    std::vector<std::string> lines;
};
using Pop3Mailbox = std::vector<Pop3Message>;

struct Pop3ServerSettings {
    std::string user = "alice";
    std::string password = "secret";
    int port = 0; // 0: a free one
};

class Pop3Server {
public:
    static constexpr const char* greeting = "greeting";
    // What follows a reply: more commands, the end of the connection, or
    // silence with the connection held open.
    enum Cut { None, Close, Stall };

    // Listens before it returns; throws Socket::Exception when it cannot.
    explicit Pop3Server(Pop3Mailbox mailbox = {}, Pop3ServerSettings settings = {});
    // Ends a session under way and waits for the thread.
    ~Pop3Server();

    int port() const { return listenPort; }
    const std::string& user() const { return settings.user; }
    const std::string& password() const { return settings.password; }
    // Connections accepted so far.
    int sessions() const { return sessionCount; }

    // The mailbox of the sessions that start from now on; "quit" after
    // "dele" removes messages from it.
    void add(Pop3Message message) {
        locked([&] { mailbox.push_back(std::move(message)); });
    }
    void remove(const std::string& uid) {
        locked([&] { std::erase_if(mailbox, [&](const Pop3Message& m) { return m.uid == uid; }); });
    }

    // Every line the client sent, without its line end, across all sessions.
    std::vector<std::string> transcript() const {
        return locked([&] { return lines; });
    }
    std::vector<std::string> takeTranscript() {
        return locked([&] { return std::exchange(lines, {}); });
    }

    // These bytes instead of the reply, then the cut.
    void fault(const std::string& key, std::string bytes, Cut cut = None) {
        locked([&] { faults[key] = {std::move(bytes), cut}; });
    }
    void answer(const std::string& key, const std::string& statusLine,
                const std::vector<std::string>& data);
    void refuse(const std::string& key, const std::string& statusLine = "-ERR") {
        fault(key, statusLine + "\r\n");
    }
    void clearFaults() {
        locked([&] { faults.clear(); });
    }

private:
    template <typename Action> auto locked(Action action) const -> decltype(action()) {
        std::lock_guard lock(mutex);
        return action();
    }
    void serve(SOCKET peer);

    const Pop3ServerSettings settings;
    SOCKET listener;
    int listenPort = 0;
    mutable std::mutex mutex;
    Pop3Mailbox mailbox;
    std::map<std::string, std::pair<std::string, Cut>> faults;
    std::vector<std::string> lines;
    std::atomic<int> sessionCount{0};
    std::atomic<bool> stopping{false};
    std::thread worker;
};
