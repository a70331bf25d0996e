#pragma once

// A scripted POP3 server (RFC 1939) on 127.0.0.1 for tests: it runs in its
// own thread, serves any number of successive connections one at a time,
// records what the client sends and misbehaves on request.
//
//   Pop3Server server(sampleMailbox(2));          // uids "a1", "b2"; alice / secret
//   server.refuse("uidl", "-ERR no uidl");
//   ... a client checks 127.0.0.1:server.port() as server.user(), server.password() ...
//   EXPECT_EQ(server.transcript(),
//             (std::vector<std::string>{"user alice", "pass secret", "stat", "uidl"}));
//   EXPECT_EQ(server.sessions(), 1);
//
// Faults are keyed by a command ("top"), or by a command with its leading
// arguments ("top 2" matches "top 2 30" but not "top 12 30"); keys and
// commands are compared without regard to case, and the longest matching key
// wins. The key Pop3Server::greeting stands for the greeting. A fault stays
// until it is cleared or replaced. Other examples:
//
//   server.answer(Pop3Server::greeting, "-ERR busy");         // or "+OK" alone
//   server.answer("stat", "+ok");                              // or "" (an empty line)
//   server.answer("list", "+OK x y");
//   server.answer("uidl", "+OK", {"1 a1", "", "abc"});        // data lines, dot-stuffed
//   server.answer("uidl", "+OK", manyUidLines(100000));
//   server.answer("top", "+OK", {"Subject: " + std::string(20 << 20, 'x'), "", "body"});
//   server.closeAfter("top 2", 100);   // 100 bytes of the reply, then the end
//   server.stallAfter("uidl", 0);      // nothing, and the connection held open
//   server.endless("top");             // data lines until the client gives up
//
// Messages whose ids are longer than RFC 1939 allows are simply added:
//   server.add(Pop3Message(std::string(100, 'u'), text));
//
// The mailbox may be changed between sessions; a session works on the
// mailbox as it was when the session started. Messages marked with "dele"
// leave the mailbox only when "quit" ends the session after login; the
// mailbox is updated before the reply to "quit" goes out.

#include "servers/Pop3Fault.h"
#include "servers/Pop3Message.h"
#include "servers/Pop3Reply.h"

#include <winsock.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ServerConnection;

struct Pop3ServerSettings {
    std::string user = "alice";
    std::string password = "secret";
    // 0 picks a free port.
    int port = 0;
    // A session that waits this long for a command, or for a client that has
    // stopped reading, is ended.
    std::chrono::milliseconds idleLimit{60000};
    // The longest a stall holds a connection.
    std::chrono::milliseconds stallLimit{60000};
};

class Pop3Server {
public:
    static constexpr const char* greeting = "greeting";
    static constexpr size_t defaultEndlessLimit = 256 * 1024 * 1024;

    // Listens before it returns, so a client may connect at once. Throws a
    // Socket::Exception when it cannot listen, and a MsgException when two
    // messages have the same unique id.
    explicit Pop3Server(Pop3Mailbox mailbox = {}, Pop3ServerSettings settings = {});
    // Stops the server, ending a session under way, and waits for its thread.
    ~Pop3Server();
    Pop3Server(const Pop3Server&) = delete;
    Pop3Server& operator=(const Pop3Server&) = delete;

    int port() const { return listenPort; }
    const std::string& user() const { return settings.user; }
    const std::string& password() const { return settings.password; }

    // The mailbox, for the sessions that start from now on. add throws a
    // MsgException when the unique id is taken; remove says whether it was.
    void add(Pop3Message message);
    bool remove(const std::string& uid);
    std::vector<std::string> uids() const;

    // Every line the client sent, without its line end, in order, across all
    // sessions.
    std::vector<std::string> transcript() const;
    // The transcript so far, which is then cleared.
    std::vector<std::string> takeTranscript();
    void clearTranscript();
    // Connections accepted so far.
    int sessions() const;

    void setFault(const std::string& key, Pop3Fault fault);
    // Replies with this line, which must begin with "-ERR" (a MsgException
    // otherwise).
    void refuse(const std::string& key, std::string statusLine = "-ERR");
    // Replies with exactly this status line (sent as given, then CR LF) ...
    void answer(const std::string& key, std::string statusLine);
    // ... or with it and these data lines, dot-stuffed and ended by ".".
    void answer(const std::string& key, std::string statusLine, std::vector<std::string> data);
    // The connection ends after this many bytes of the reply.
    void closeAfter(const std::string& key, size_t bytes);
    // After this many bytes of the reply nothing more is sent.
    void stallAfter(const std::string& key, size_t bytes);
    // "+OK" and data lines without end ("n uid" lines for "uidl", header
    // lines otherwise), until the client goes away or byteLimit is reached.
    void endless(const std::string& key, size_t byteLimit = defaultEndlessLimit);
    void clearFault(const std::string& key);
    void clearFaults();

private:
    void run();
    void serve(SOCKET peer);
    // Sends the reply to one command (or to the greeting) with the fault that
    // is set for it; false when the connection is to end.
    bool respond(ServerConnection& connection, const std::string& key,
                 const std::function<Pop3Reply()>& properReply);
    void stream(ServerConnection& connection, const std::string& key, size_t byteLimit);
    void stall(ServerConnection& connection);
    std::optional<Pop3Fault> faultFor(const std::string& line) const;
    void record(const std::string& line);
    void expunge(const std::vector<std::string>& removed);

    const Pop3ServerSettings settings;
    SOCKET listener = INVALID_SOCKET;
    int listenPort = 0;

    mutable std::mutex mutex;
    Pop3Mailbox mailbox;
    std::map<std::string, Pop3Fault> faults;
    std::vector<std::string> lines;
    int sessionCount = 0;

    std::atomic<bool> stopping{false};
    std::thread worker;
};
