#include "net/Socket.h"

#include "net/SocketAddress.h"
#include "net/TlsChannel.h"

#include <algorithm>

namespace {

// Both directions; winsock.h (WinSock 1.1) has no name for it.
constexpr int shutdownBoth = 2;

// Large enough that a mailbox listing arrives in few calls: every WinSock
// call is a round trip into the system, so the count of calls is the cost.
constexpr size_t readChunk = 64 * 1024;

[[noreturn]] void failWith(int wsaError, const char* text) {
    WSASetLastError(wsaError);
    throw Socket::Exception(text);
}

} // namespace

Socket::Exception::Exception(const char* text) : MsgException(text), wsaError(WSAGetLastError()) {}

std::string Socket::Exception::message() const {
    return "Socket: " + MsgException::message() + " (WSAGetLastError()=" +
           std::to_string(wsaError) + ")\n";
}

Socket::Socket(DWORD timeout) : handle(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    if (handle == INVALID_SOCKET)
        throw Exception("socket() failed");
    try {
        setTimeout(timeout);
    } catch (const Exception&) {
        ::closesocket(handle);
        throw;
    }
    readBuffer.resize(readChunk);
}

void Socket::setTimeout(DWORD timeout) {
    const char* value = reinterpret_cast<const char*>(&timeout);
    if (::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, value, sizeof timeout) == SOCKET_ERROR ||
        ::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, value, sizeof timeout) == SOCKET_ERROR)
        throw Exception("setsockopt() failed");
}

Socket::~Socket() {
    tls.reset();
    interrupt();
}

void Socket::interrupt() {
    // A shutdown would not do: under Wine it leaves a waiting receive
    // waiting until its time-out; closing the handle ends it at once.
    const SOCKET closing = handle.exchange(INVALID_SOCKET);
    if (closing != INVALID_SOCKET)
        ::closesocket(closing);
}

void Socket::connect(const SocketAddress& address) {
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address.addr), address.length) ==
        SOCKET_ERROR)
        throw Exception("connect() failed");
    connected = true;
}

int Socket::send(const char* data, int length, int flags) {
    const int count = ::send(handle, data, length, flags);
    if (count == SOCKET_ERROR)
        throw Exception("send() failed");
    return count;
}

int Socket::sendString(const std::string& data) {
    if (!tls)
        return send(data.data(), static_cast<int>(data.size()), 0);
    tls->send(data.data(), data.size());
    return static_cast<int>(data.size());
}

int Socket::receive(char* buffer, int length, int flags) {
    const int count = ::recv(handle, buffer, length, flags);
    if (count == SOCKET_ERROR)
        throw Exception("recv() failed");
    return count;
}

int Socket::receiveText(char* buffer, int length) {
    return tls ? tls->receive(buffer, length) : receive(buffer, length, 0);
}

void Socket::startTls(const std::string& host) {
    if (readStart != readEnd)
        throw TlsChannel::Exception("the server sent text before the handshake", SEC_E_ILLEGAL_MESSAGE);
    // Kept only once it works: a failed handshake leaves nothing to close.
    auto channel = std::make_unique<TlsChannel>(*this);
    channel->handshake(host);
    tls = std::move(channel);
}

void Socket::readLine(std::string& line) {
    // The line as received, terminator included, kept up to the limit. The
    // caller's string is reused: a check reads hundreds of thousands of
    // lines, and a fresh string for each costs a heap block each time.
    std::string& raw = line;
    raw.clear();
    size_t lineBytes = 0;
    bool cut = false;
    for (;;) {
        if (readStart == readEnd) {
            const int count = receiveText(readBuffer.data(), static_cast<int>(readBuffer.size()));
            // The peer closed before the line ended: no line feed can come any
            // more, and waiting for one would never end.
            if (count == 0)
                failWith(WSAEDISCON, "recv() failed");
            readStart = 0;
            readEnd = static_cast<size_t>(count);
        }
        const char* begin = readBuffer.data() + readStart;
        const char* end = readBuffer.data() + readEnd;
        const char* feed = std::find(begin, end, '\n');
        const char* stop = feed == end ? end : feed + 1;
        const size_t available = static_cast<size_t>(stop - begin);
        const size_t take = std::min(available, lineKeepLimit + 2 - raw.size());
        cut = cut || take < available;
        raw.append(begin, take);
        readStart += available;
        lineBytes += available;
        lineBytesTotal += available;
        if (feed != end)
            break;
        if (lineBytes > lineReadLimit)
            failWith(WSAEMSGSIZE, "recv() failed");
    }

    if (cut) {
        raw.resize(lineKeepLimit);
    } else {
        // Every protocol line ends in CR LF; a line that ended in a bare line
        // feed loses the character before it, as the protocol's lines would.
        raw.resize(raw.size() >= 2 ? raw.size() - 2 : 0);
    }
    // Text ends at a NUL byte; the terminator was removed first, so a NUL
    // never costs the text before it.
    raw.resize(std::min(raw.size(), raw.find('\0')));
}

void Socket::shutdown(int how) {
    if (::shutdown(handle, how) == SOCKET_ERROR)
        throw Exception("shutdown() failed");
}

void Socket::closeSocket() {
    const SOCKET closing = handle.exchange(INVALID_SOCKET);
    connected = false;
    // Interrupted meanwhile: closed already.
    if (closing == INVALID_SOCKET)
        return;
    if (::closesocket(closing) == SOCKET_ERROR)
        throw Exception("closesocket() failed");
}

void Socket::close() {
    if (!connected)
        return;
    if (tls) {
        // Taken out first: a failed close_notify is not tried again.
        const std::unique_ptr<TlsChannel> ending = std::move(tls);
        ending->shutdown();
    }
    shutdown(shutdownBoth);
    closeSocket();
}
