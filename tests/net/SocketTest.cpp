#include "net/Socket.h"
#include "net/SocketAddress.h"

#include "servers/LineServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

namespace {

using Steps = std::vector<LineServer::Step>;

void connectTo(Socket& socket, int port) {
    SocketAddress address;
    address.resolve("127.0.0.1", port);
    socket.connect(address);
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

// Every case is followed by a marker line, so that each also proves the
// reader took exactly its line and left the next one whole.
std::vector<LineCase> lineCases() {
    return {
        {"status line", "+OK ready\r\n", "+OK ready"},
        {"empty line", "\r\n", ""},
        {"grows 4 to 8", "abc\r\n", "abc"},
        {"fills 8", "abcdef\r\n", "abcdef"},
        {"crosses 8", "abcdefg\r\n", "abcdefg"},
        {"crosses 16", std::string(15, 'x') + "\r\n", std::string(15, 'x')},
        {"crosses 32", std::string(33, 'y') + "\r\n", std::string(33, 'y')},
        {"10 KB line", std::string(10 * 1024, 'z') + "\r\n", std::string(10 * 1024, 'z')},
        // A bare line feed still costs the character before it.
        {"bare line feed", "abc\n", "ab"},
        {"lone line feed", "\n", ""},
        {"NUL ends the text", std::string("ab\0cd\r\n", 7), "ab"},
        {"NUL first", std::string("\0x\r\n", 4), ""},
        {"blanks kept", "  +OK  \t\r\n", "  +OK  \t"},
    };
}

std::vector<std::string> readAll(const Steps& delivery, size_t lines) {
    LineServer server(delivery);
    Socket socket(5000);
    connectTo(socket, server.port());
    std::vector<std::string> got;
    for (size_t i = 0; i < lines; ++i) {
        std::string line = "garbage";
        socket.readLine(line);
        got.push_back(line);
    }
    return got;
}

// Compares line by line and shows long lines shortened: a 64 KB line in a
// failure message helps nobody.
void expectLines(const std::vector<std::string>& got, const std::vector<std::string>& expected,
                 const char* delivery) {
    auto shown = [](const std::string& s) {
        return s.size() <= 40 ? s : s.substr(0, 30) + "... (" + std::to_string(s.size()) + " bytes)";
    };
    ASSERT_EQ(got.size(), expected.size()) << delivery;
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(got[i] == expected[i]) << delivery << ", line " << i << ": got «" << shown(got[i])
                                           << "», expected «" << shown(expected[i]) << "»";
}

TEST(SocketReadLine, SameLinesWhateverTheChunksTheyArriveIn) {
    std::string stream;
    std::vector<std::string> expected;
    for (const LineCase& c : lineCases()) {
        stream += c.bytes + "--marker--\r\n";
        expected.push_back(c.expected);
        expected.push_back("--marker--");
    }

    // All lines in one arrival.
    expectLines(readAll({LineServer::send(stream)}, expected.size()), expected, "one arrival");

    // One byte per arrival (the small lines only: 10 KB byte by byte is slow
    // and adds nothing).
    std::string small;
    std::vector<std::string> smallExpected;
    for (const LineCase& c : lineCases()) {
        if (c.bytes.size() > 100)
            continue;
        small += c.bytes;
        smallExpected.push_back(c.expected);
    }
    expectLines(readAll(LineServer::inChunks(small, 1, 1), smallExpected.size()), smallExpected,
                "byte by byte");

    // Arrivals cut at arbitrary points.
    std::mt19937 random(20261207);
    Steps ragged;
    for (size_t at = 0; at < stream.size();) {
        const size_t length = std::uniform_int_distribution<size_t>(1, 700)(random);
        ragged.push_back(LineServer::send(stream.substr(at, length)));
        ragged.push_back(LineServer::pause(1));
        at += length;
    }
    expectLines(readAll(ragged, expected.size()), expected, "ragged arrivals");
}

TEST(SocketReadLine, LongLineIsKeptCutAndTheNextLineIsIntact) {
    const std::string exact(Socket::lineKeepLimit, 'e');
    const std::string longer(Socket::lineKeepLimit + 5000, 'l');
    const std::string stream = exact + "\r\n" + longer + "\r\n" + "next\r\n";
    expectLines(readAll({LineServer::send(stream)}, 3),
                {exact, std::string(Socket::lineKeepLimit, 'l'), "next"}, "one arrival");
}

void expectRecvFailure(const Steps& script, int wsaError, std::chrono::milliseconds atMost,
                       DWORD timeout = 5000, const char* completeLine = nullptr) {
    LineServer server(script);
    Socket socket(timeout);
    connectTo(socket, server.port());
    std::string line;
    if (completeLine) {
        socket.readLine(line);
        EXPECT_EQ(line, completeLine);
    }
    const auto start = std::chrono::steady_clock::now();
    try {
        socket.readLine(line);
        FAIL() << "readLine returned «" << line.substr(0, 40) << "»";
    } catch (const Socket::Exception& e) {
        EXPECT_EQ(e.text, "recv() failed");
        EXPECT_EQ(e.wsaError, wsaError);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, atMost);
}

TEST(SocketReadLine, PeerClosingBeforeTheLineFeedFailsInsteadOfWaiting) {
    using namespace std::chrono_literals;
    // WSAEDISCON: the peer ended the connection in an orderly way.
    expectRecvFailure({LineServer::send("+OK partial"), LineServer::close()}, WSAEDISCON, 5s);
    // A complete line before the close is still delivered first.
    expectRecvFailure({LineServer::send("+OK whole\r\nhalf"), LineServer::close()}, WSAEDISCON, 5s,
                      5000, "+OK whole");
    // Closed with nothing sent at all.
    expectRecvFailure({LineServer::close()}, WSAEDISCON, 5s);
}

TEST(SocketReadLine, ResetDuringAReadFails) {
    using namespace std::chrono_literals;
    expectRecvFailure({LineServer::send("+OK par"), LineServer::pause(50), LineServer::reset()},
                      WSAECONNRESET, 5s);
}

TEST(SocketReadLine, StalledServerTimesOut) {
    using namespace std::chrono_literals;
    expectRecvFailure({LineServer::send("+OK no line feed"), LineServer::stall()}, WSAETIMEDOUT, 10s,
                      400);
    expectRecvFailure({LineServer::stall()}, WSAETIMEDOUT, 10s, 400);
}

TEST(SocketReadLine, EndlessLineFailsAfterTheReadLimit) {
    using namespace std::chrono_literals;
    const std::string flood(Socket::lineReadLimit + 1024 * 1024, 'f');
    expectRecvFailure({LineServer::send(flood), LineServer::stall()}, WSAEMSGSIZE, 60s);
}

TEST(Socket, SendsExactlyTheBytesGiven) {
    LineServer server({LineServer::pause(200)});
    Socket socket;
    connectTo(socket, server.port());
    EXPECT_EQ(socket.sendString("user alice\r\n"), 12);
    EXPECT_EQ(socket.send("stat\r\nxyz", 6, 0), 6);
    socket.close();
    EXPECT_FALSE(socket.isConnected());
    // Give the server's script time to collect before it is asked.
    for (int i = 0; i < 100 && server.received().size() < 18; ++i)
        Sleep(20);
    EXPECT_EQ(server.received(), "user alice\r\nstat\r\n");
}

TEST(Socket, ConnectToAClosedPortNamesTheCallAndTheError) {
    Socket socket;
    SocketAddress address;
    address.resolve("127.0.0.1", closedLoopbackPort());
    try {
        socket.connect(address);
        FAIL() << "connected to a closed port";
    } catch (const Socket::Exception& e) {
        EXPECT_EQ(e.message(), "Socket: connect() failed (WSAGetLastError()=10061)\n");
    }
    EXPECT_FALSE(socket.isConnected());
    // Closing a socket that never connected does nothing and raises nothing.
    EXPECT_NO_THROW(socket.close());
}

TEST(Socket, DiscardingAnUnconnectedSocketReleasesItsHandle) {
    SOCKET handle;
    {
        Socket socket;
        handle = socket.nativeHandle();
        int type = 0;
        int length = sizeof type;
        ASSERT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), 0);
    }
    int type = 0;
    int length = sizeof type;
    EXPECT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(Socket, CloseReleasesAConnectedSocketOnce) {
    LineServer server({LineServer::pause(100)});
    Socket socket;
    connectTo(socket, server.port());
    ASSERT_TRUE(socket.isConnected());
    socket.close();
    EXPECT_FALSE(socket.isConnected());
    EXPECT_EQ(socket.nativeHandle(), INVALID_SOCKET);
    EXPECT_NO_THROW(socket.close());
}

TEST(SocketAddress, DottedAddressAndPortTakenModulo65536) {
    SocketAddress address;
    address.resolve("127.0.0.1", 65646);
    EXPECT_EQ(address.length, 16);
    EXPECT_EQ(address.addr.sin_family, AF_INET);
    EXPECT_EQ(ntohs(address.addr.sin_port), 110);
    EXPECT_EQ(address.addr.sin_addr.s_addr, inet_addr("127.0.0.1"));
    const char zero[8] = {};
    EXPECT_EQ(std::memcmp(address.addr.sin_zero, zero, 8), 0);
}

TEST(SocketAddress, NameIsLookedUp) {
    SocketAddress address;
    address.resolve("localhost", 110);
    EXPECT_EQ(address.addr.sin_addr.s_addr, inet_addr("127.0.0.1"));
    EXPECT_EQ(ntohs(address.addr.sin_port), 110);
}

TEST(SocketAddress, UnknownNameFailsTheLookup) {
    SocketAddress address;
    try {
        address.resolve("no-such-host.invalid", 110);
        FAIL() << "resolved a name under .invalid";
    } catch (const Socket::Exception& e) {
        EXPECT_EQ(e.text, "gethostbyname() failed");
        EXPECT_EQ(e.wsaError, WSAHOST_NOT_FOUND);
    }
}

} // namespace
