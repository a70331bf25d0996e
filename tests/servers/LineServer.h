#pragma once

#include <winsock.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A one-connection TCP peer on 127.0.0.1 that plays a script: exact byte
// sequences, pauses, a stall, a graceful close or a reset. It runs in its own
// thread, bounds every wait, and is stopped by its destructor.
class LineServer {
public:
    struct Step {
        enum Kind { Send, Pause, Stall, Close, Reset } kind;
        std::string bytes;
        int milliseconds = 0;
    };

    static Step send(std::string bytes) { return {Step::Send, std::move(bytes), 0}; }
    static Step pause(int milliseconds) { return {Step::Pause, {}, milliseconds}; }
    // Holds the connection open, sending nothing, until the server is destroyed.
    static Step stall() { return {Step::Stall, {}, 0}; }
    static Step close() { return {Step::Close, {}, 0}; }
    static Step reset() { return {Step::Reset, {}, 0}; }

    // Sends the bytes as separate sends of at most chunk bytes, with a pause
    // between them so that they reach the reader as separate arrivals.
    static std::vector<Step> inChunks(const std::string& bytes, size_t chunk, int pauseMs = 2);

    explicit LineServer(std::vector<Step> script);
    ~LineServer();
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;

    int port() const { return listenPort; }
    // Everything the client sent before the script ended.
    std::string received();

private:
    void run(std::vector<Step> script);
    bool waitForStop(std::chrono::milliseconds limit);

    SOCKET listener = INVALID_SOCKET;
    int listenPort = 0;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::string fromClient;
    std::thread worker;
};

// A loopback port on which nothing listens (bound, then released).
int closedLoopbackPort();
