#pragma once

#include "net/MsgException.h"

#include <winsock.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class SocketAddress;
class TlsChannel;

// One blocking IPv4 TCP connection and a reader of CR LF terminated lines.
// Every failed WinSock call raises a Socket::Exception naming the call.
class Socket {
public:
    // A failed WinSock call. The error number is taken when the exception is
    // made, right after the call; copies keep it.
    class Exception : public MsgException {
    public:
        explicit Exception(const char* text);

        std::string message() const override;

        int wsaError;
    };

    // A server that stops sending would otherwise hold the user-interface
    // thread for as long as it keeps the connection open.
    static constexpr DWORD defaultTimeout = 60000;

    // What readLine keeps of one line: the rest of a longer line is read and
    // dropped, so a hostile server cannot make the program grow without end.
    static constexpr size_t lineKeepLimit = 64 * 1024;
    // A "line" that has not ended after this many bytes is not a protocol
    // line any more; reading it fails (WSAEMSGSIZE) instead of going on
    // forever.
    static constexpr size_t lineReadLimit = 64 * 1024 * 1024;

    // Timeout in milliseconds for each receive and each send; 0 waits forever.
    explicit Socket(DWORD timeout = defaultTimeout);
    // Releases a handle that close() left open (a socket that never
    // connected, or one whose shutdown failed). Never throws.
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    void connect(const SocketAddress& address);
    int send(const char* data, int length, int flags);
    int sendString(const std::string& data);
    int receive(char* buffer, int length, int flags);

    // The next line without its terminator. Reads ahead in chunks: bytes
    // after the line stay in the socket's buffer for the next call.
    void readLine(std::string& line);

    // From here on, readLine and sendString go through TLS: the handshake
    // with host as the server name. Text the server sent after the last
    // line read and before the handshake fails it, since no one could tell
    // who wrote it (a TlsChannel::Exception, as any handshake failure).
    void startTls(const std::string& host);
    // The channel once startTls has begun; null on a plain connection.
    const TlsChannel* secureChannel() const { return tls.get(); }

    void shutdown(int how);
    void closeSocket();
    // Ends TLS (close_notify), then shutdown and close, when connected;
    // nothing otherwise.
    void close();

    // May be called from another thread while this one waits in a receive
    // or send: closes the handle, so that the waiting call fails at once
    // instead of at its time-out, and every later call fails too.
    void interrupt();

    // Changes the time any one receive or send may wait (0 waits forever).
    void setTimeout(DWORD timeout);

    // Bytes that readLine has consumed so far, terminators and dropped
    // parts of long lines included: what the peer made us read.
    unsigned long long lineBytesRead() const { return lineBytesTotal; }

    bool isConnected() const { return connected; }
    SOCKET nativeHandle() const { return handle; }

private:
    // Received text for readLine: plain or, once started, decrypted.
    int receiveText(char* buffer, int length);

    // Atomic, because interrupt() takes it from another thread: whichever
    // of interrupt() and closeSocket() takes it first closes it, once.
    std::atomic<SOCKET> handle;
    bool connected = false;
    std::vector<char> readBuffer;
    size_t readStart = 0;
    size_t readEnd = 0;
    unsigned long long lineBytesTotal = 0;
    std::unique_ptr<TlsChannel> tls;
};
