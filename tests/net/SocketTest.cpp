#include "net/Socket.h"
#include "net/SocketAddress.h"

#include "servers/Pop3Server.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// Every line is followed by a short one, which must come out whole: the long
// ones straddle many reads. Long lines are given by their size: a 64 KB line
// helps no failure message.
TEST(SocketReadLine, LinesEndAtTheirLineFeedAndLongOnesAreCut) {
    const std::string keep(Socket::lineKeepLimit, 'k');
    const std::string shownKeep = std::to_string(keep.size()) + " x k";
    const struct {
        std::string bytes;
        std::string line;
    } cases[] = {
        {"+OK ready\r\n", "+OK ready"},
        {"\r\n", ""},
        {"  +OK  \t\r\n", "  +OK  \t"},
        // A bare line feed still costs the character before it.
        {"\n", ""},
        // Text ends at a NUL byte, which never costs the text before it.
        {std::string("ab\0cd\r\n", 7), "ab"},
        {std::string(10000, 'z') + "\r\n", "10000 x z"},
        // What is kept of a long line: the rest is read and dropped.
        {keep + "\r\n", shownKeep},
        {keep + "x\r\n", shownKeep},
        {keep + "\n", std::to_string(keep.size() - 1) + " x k"},
    };
    std::string stream;
    Lines expected;
    for (const auto& c : cases) {
        stream += c.bytes + "next\r\n";
        expected.insert(expected.end(), {c.line, "next"});
    }
    stream.resize(stream.size() - 2); // the server adds the last CR LF
    Pop3Server server;
    server.refuse(Pop3Server::greeting, stream);
    Socket socket(5000);
    SocketAddress address;
    address.resolve("127.0.0.1", server.port());
    socket.connect(address);
    Lines lines(expected.size());
    for (std::string& line : lines) {
        socket.readLine(line);
        if (line.size() > 40)
            line = std::to_string(line.size()) + " x " + line[0];
    }
    EXPECT_EQ(lines, expected);
}

TEST(Socket, ReleasesItsHandleAndWaitsABoundedTime) {
    SOCKET handle;
    {
        Socket socket;
        handle = socket.nativeHandle();
        // A stalled server ends a check, and never holds it (or the exit) for good.
        for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
            DWORD waits = 0;
            int size = sizeof waits;
            getsockopt(handle, SOL_SOCKET, option, reinterpret_cast<char*>(&waits), &size);
            EXPECT_GE(waits, 1000u) << option;
            EXPECT_LE(waits, 120000u) << option;
        }
    }
    int type = 0;
    int length = sizeof type;
    EXPECT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length),
              SOCKET_ERROR);
}

} // namespace
