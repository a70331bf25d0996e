#pragma once

#include <winsock.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

// The server's end of one accepted TCP connection. The socket is
// non-blocking: every wait is cut into short slices that watch the server's
// stop flag, so that no client, however it behaves, can hold a test.
class ServerConnection {
public:
    enum class Outcome { Done, Closed, Stopped, TimedOut };

    // What is kept of one line from the client; the rest of a longer line is
    // read and dropped.
    static constexpr size_t lineKeepLimit = 64 * 1024;

    // Takes ownership of the accepted socket.
    ServerConnection(SOCKET accepted, const std::atomic<bool>& stopping);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // The next line from the client, without its LF or CR LF. Waits at most
    // the limit for it.
    Outcome readLine(std::string& line, std::chrono::milliseconds limit);
    // Sends every byte, giving up when the client has taken nothing for the
    // limit (a client that stopped reading) or has gone.
    Outcome send(const char* data, size_t length, std::chrono::milliseconds limit);
    Outcome send(const std::string& bytes, std::chrono::milliseconds limit) {
        return send(bytes.data(), bytes.size(), limit);
    }
    // An orderly end: whatever was sent is delivered, then the end of the
    // stream. Nothing happens on a second call.
    void close();

private:
    Outcome waitFor(bool forWriting, std::chrono::steady_clock::time_point deadline);
    bool takeLine(std::string& line);

    SOCKET handle;
    const std::atomic<bool>& stopping;
    std::string pending;
    bool cutting = false;
    bool peerClosed = false;
};
