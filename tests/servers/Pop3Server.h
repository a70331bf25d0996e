#pragma once

// A scripted POP3 server on 127.0.0.1 for tests: it serves the commands the
// client sends (user, pass, stat, uidl, list n, top n k, dele n, quit) from a
// mailbox, one connection at a time in its own thread, records every line the
// client sent, and misbehaves on request:
//
//   Pop3Server server(sampleMailbox(2));        // uids "a1", "b2"; alice / secret
//   server.answer("uidl", "+OK", {"1 a1", "", "abc"});  // data lines, dot-stuffed
//   server.refuse(Pop3Server::greeting, "-ERR busy");
//   server.raw("stat", "+OK 1", 1);             // exact bytes, one per arrival
//   server.closeAfter("top 2", 100);            // 100 bytes of the reply, then the end
//   server.stallAfter("uidl", 0);               // silence, the connection held open
//   server.endless("top");                      // "+OK", then header lines without end
//
// A fault is keyed by a command ("top") or a command with its leading
// arguments ("top 2" matches "top 2 30", not "top 12 30"); the longest
// matching key wins and stays until clearFaults. A replaced reply is not
// carried out: an answered "dele" marks nothing, an answered "quit" ends nothing.

#include <winsock.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
    // The longest a stall holds a connection.
    std::chrono::milliseconds stallLimit{10000};
};

class Pop3Server {
public:
    static constexpr const char* greeting = "greeting";

    // Listens before it returns; throws Socket::Exception when it cannot.
    explicit Pop3Server(Pop3Mailbox mailbox = {}, Pop3ServerSettings settings = {});
    // Ends a session under way and waits for the thread.
    ~Pop3Server();
    Pop3Server(const Pop3Server&) = delete;
    Pop3Server& operator=(const Pop3Server&) = delete;

    int port() const { return listenPort; }
    const std::string& user() const { return settings.user; }
    const std::string& password() const { return settings.password; }

    // The mailbox of the sessions that start from now on; "quit" after
    // "dele" removes messages from it.
    void add(Pop3Message message);
    void remove(const std::string& uid);
    std::vector<std::string> uids() const;

    // Every line the client sent, without its line end, across all sessions.
    std::vector<std::string> transcript() const;
    std::vector<std::string> takeTranscript();
    void clearTranscript() { takeTranscript(); }
    // Connections accepted so far.
    int sessions() const;

    struct Fault {
        std::optional<std::string> bytes; // instead of the reply
        size_t chunk = 0;                 // sent in pieces this long, apart (0: at once)
        enum Cut { None, Close, Stall } cut = None;
        size_t cutAfter = 0;
        std::optional<std::string> endlessUnit; // sent again and again after the bytes (or "+OK")
    };
    void answer(const std::string& key, const std::string& statusLine) { raw(key, statusLine + "\r\n"); }
    void answer(const std::string& key, const std::string& statusLine, const std::vector<std::string>& data);
    void refuse(const std::string& key, const std::string& statusLine = "-ERR") { answer(key, statusLine); }
    void raw(const std::string& key, std::string bytes, size_t chunk = 0) {
        edit(key, [&](Fault& f) { f.bytes = std::move(bytes); f.chunk = chunk; });
    }
    void closeAfter(const std::string& key, size_t bytes) {
        edit(key, [&](Fault& f) { f.cut = Fault::Close; f.cutAfter = bytes; });
    }
    void stallAfter(const std::string& key, size_t bytes) {
        edit(key, [&](Fault& f) { f.cut = Fault::Stall; f.cutAfter = bytes; });
    }
    void endless(const std::string& key, std::string unit = "X-Endless: this reply has no end\r\n") {
        edit(key, [&](Fault& f) { f.endlessUnit = std::move(unit); });
    }
    void clearFaults();

private:
    void edit(const std::string& key, const std::function<void(Fault&)>& change);
    Fault faultFor(const std::string& line) const;
    void record(const std::string& line);
    void run();
    void serve(SOCKET peer);

    const Pop3ServerSettings settings;
    SOCKET listener = INVALID_SOCKET;
    int listenPort = 0;
    mutable std::mutex mutex;
    Pop3Mailbox mailbox;
    std::map<std::string, Fault> faults;
    std::vector<std::string> lines;
    int sessionCount = 0;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

// A loopback port on which nothing listens.
int closedLoopbackPort();
