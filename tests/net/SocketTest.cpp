#include "net/Socket.h"
#include "net/SocketAddress.h"

#include "servers/Pop3Server.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

void connectTo(Socket& socket, const char* host, int port) {
    SocketAddress address;
    address.resolve(host, port);
    socket.connect(address);
}

// The first `count` lines a socket reads from a server that greets with
// these bytes, in sends of `chunk` bytes.
Lines readLines(const std::string& bytes, size_t chunk, size_t count) {
    Pop3Server server;
    server.raw(Pop3Server::greeting, bytes, chunk);
    Socket socket(5000);
    connectTo(socket, "127.0.0.1", server.port());
    Lines lines(count);
    for (std::string& line : lines)
        socket.readLine(line);
    return lines;
}

// Long lines are shown by their size: a 64 KB line helps no failure message.
std::string shown(const std::string& line) {
    return line.size() <= 40 ? line : std::to_string(line.size()) + " x " + line[0];
}

TEST(SocketReadLine, SameLinesWhateverTheArrivals) {
    const std::string keep(Socket::lineKeepLimit, 'k');
    const struct {
        std::string bytes;
        std::string line;
    } cases[] = {
        {"+OK ready\r\n", "+OK ready"},
        {"\r\n", ""},
        {"abcdefg\r\n", "abcdefg"},
        {"  +OK  \t\r\n", "  +OK  \t"},
        // A bare line feed still costs the character before it.
        {"abc\n", "ab"},
        {"\n", ""},
        // Text ends at a NUL byte, which never costs the text before it.
        {std::string("ab\0cd\r\n", 7), "ab"},
        {std::string("\0x\r\n", 4), ""},
        {std::string(10000, 'z') + "\r\n", std::string(10000, 'z')},
        // What is kept of a long line: the rest is read and dropped.
        {keep + "\r\n", keep},
        {keep + "x\r\n", keep},
        {keep + "lost part\r\n", keep},
        {keep + "\n", keep.substr(1)},
    };
    std::string stream, small;
    Lines expected, smallExpected;
    for (const auto& c : cases) {
        stream += c.bytes + "next\r\n";
        expected.insert(expected.end(), {shown(c.line), "next"});
        if (c.bytes.size() < 100) {
            small += c.bytes;
            smallExpected.push_back(c.line);
        }
    }
    for (const size_t chunk : {size_t{0}, size_t{700}}) {
        Lines got;
        for (const std::string& line : readLines(stream, chunk, expected.size()))
            got.push_back(shown(line));
        EXPECT_EQ(got, expected) << "in sends of " << chunk;
    }
    EXPECT_EQ(readLines(small, 1, smallExpected.size()), smallExpected) << "byte by byte";
}

TEST(Socket, ReleasesItsHandleWhetherOrNotItConnected) {
    SOCKET handle;
    {
        Socket socket;
        handle = socket.nativeHandle();
        // The program's sockets wait a bounded time: a stalled server ends
        // a check, and never holds it (or the exit) for good.
        for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
            DWORD waits = 0;
            int size = sizeof waits;
            ASSERT_EQ(getsockopt(handle, SOL_SOCKET, option, reinterpret_cast<char*>(&waits), &size), 0);
            EXPECT_GE(waits, 1000u) << option;
            EXPECT_LE(waits, 120000u) << option;
        }
    }
    int type = 0;
    int length = sizeof type;
    EXPECT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), SOCKET_ERROR);

    Pop3Server server;
    Socket socket;
    connectTo(socket, "127.0.0.1", server.port());
    socket.close();
    EXPECT_FALSE(socket.isConnected());
    EXPECT_EQ(socket.nativeHandle(), INVALID_SOCKET);
    EXPECT_NO_THROW(socket.close());
}

TEST(SocketAddress, PortFormsNamesAndFailuresToConnect) {
    const struct {
        const char* host;
        int port;
        u_short expectedPort;
        const char* failure; // nullptr: resolved to 127.0.0.1
    } cases[] = {
        {"127.0.0.1", 110, 110, nullptr},
        {"localhost", 995, 995, nullptr},
        {"127.0.0.1", 65536 + 110, 110, nullptr},
        {"127.0.0.1", -1, 65535, nullptr},
        {"no-such-host.invalid", 110, 0, "Socket: gethostbyname() failed (WSAGetLastError()=11001)\n"},
    };
    for (const auto& c : cases) {
        SocketAddress address;
        try {
            address.resolve(c.host, c.port);
            EXPECT_EQ(address.addr.sin_addr.s_addr, inet_addr("127.0.0.1")) << c.host;
            EXPECT_EQ(ntohs(address.addr.sin_port), c.expectedPort) << c.port;
            EXPECT_FALSE(c.failure) << c.host;
        } catch (const Socket::Exception& e) {
            EXPECT_EQ(e.message(), c.failure ? c.failure : "") << c.host;
        }
    }
    Socket socket;
    try {
        connectTo(socket, "127.0.0.1", closedLoopbackPort());
        ADD_FAILURE() << "connected to a closed port";
    } catch (const Socket::Exception& e) {
        EXPECT_EQ(e.message(), "Socket: connect() failed (WSAGetLastError()=10061)\n");
    }
}

} // namespace
