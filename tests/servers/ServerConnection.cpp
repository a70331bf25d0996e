#include "servers/ServerConnection.h"

#include <algorithm>

namespace {

// Long enough not to spin, short enough that a test's end is not delayed.
constexpr auto slice = std::chrono::milliseconds(20);
constexpr int sendChunk = 64 * 1024;

// winsock.h (WinSock 1.1) has no name for it.
constexpr int shutdownSend = 1;

} // namespace

ServerConnection::ServerConnection(SOCKET accepted, const std::atomic<bool>& stopping)
    : handle(accepted), stopping(stopping) {
    u_long nonBlocking = 1;
    ::ioctlsocket(handle, FIONBIO, &nonBlocking);
    // Every reply goes out at once: a test reads what the server wrote,
    // not what Nagle's algorithm held back.
    BOOL noDelay = TRUE;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof noDelay);
}

ServerConnection::~ServerConnection() {
    close();
}

ServerConnection::Outcome
ServerConnection::waitFor(bool forWriting, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (stopping)
            return Outcome::Stopped;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Outcome::TimedOut;
        const auto wait = std::min<std::chrono::steady_clock::duration>(slice, deadline - now);
        const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
        timeval tv{static_cast<long>(micro / 1000000), static_cast<long>(micro % 1000000)};
        fd_set set;
        FD_ZERO(&set);
        FD_SET(handle, &set);
        const int ready =
            ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &tv);
        if (ready == SOCKET_ERROR)
            return Outcome::Closed;
        if (ready > 0)
            return Outcome::Done;
    }
}

bool ServerConnection::takeLine(std::string& line) {
    const size_t feed = pending.find('\n');
    if (feed == std::string::npos) {
        // Keep the start of an overlong line and drop the rest as it comes.
        if (pending.size() > lineKeepLimit) {
            pending.resize(lineKeepLimit);
            cutting = true;
        }
        return false;
    }
    line = pending.substr(0, std::min(feed, lineKeepLimit));
    pending.erase(0, feed + 1);
    if (!cutting && !line.empty() && line.back() == '\r')
        line.pop_back();
    cutting = false;
    return true;
}

ServerConnection::Outcome ServerConnection::readLine(std::string& line,
                                                     std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[16 * 1024];
    for (;;) {
        if (takeLine(line))
            return Outcome::Done;
        if (peerClosed || handle == INVALID_SOCKET)
            return Outcome::Closed;
        const Outcome ready = waitFor(false, deadline);
        if (ready != Outcome::Done)
            return ready;
        const int count = ::recv(handle, buffer, sizeof buffer, 0);
        if (count == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK)
                continue;
            peerClosed = true;
        } else if (count == 0) {
            peerClosed = true;
        } else if (cutting) {
            // The dropped rest of an overlong line: only its end matters.
            const char* feed = std::find(buffer, buffer + count, '\n');
            if (feed != buffer + count)
                pending.append(feed, static_cast<size_t>(buffer + count - feed));
        } else {
            pending.append(buffer, static_cast<size_t>(count));
        }
    }
}

ServerConnection::Outcome ServerConnection::send(const char* data, size_t length,
                                                 std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    size_t sent = 0;
    while (sent < length) {
        if (handle == INVALID_SOCKET)
            return Outcome::Closed;
        const Outcome ready = waitFor(true, deadline);
        if (ready != Outcome::Done)
            return ready;
        const int size = static_cast<int>(std::min<size_t>(length - sent, sendChunk));
        const int count = ::send(handle, data + sent, size, 0);
        if (count == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK)
                continue;
            return Outcome::Closed;
        }
        sent += static_cast<size_t>(count);
        deadline = std::chrono::steady_clock::now() + limit;
    }
    return Outcome::Done;
}

void ServerConnection::close() {
    if (handle == INVALID_SOCKET)
        return;
    ::shutdown(handle, shutdownSend);
    // Unread bytes from the client would turn the close into a reset, and a
    // reset can destroy what the client has not read yet; so take what has
    // already arrived first, within a bound: a client that sends without
    // end must not hold the server here.
    char buffer[16 * 1024];
    for (int chunk = 0; chunk < 64 && ::recv(handle, buffer, sizeof buffer, 0) > 0; ++chunk) {
    }
    ::closesocket(handle);
    handle = INVALID_SOCKET;
}
