#include "net/Socket.h"

#include <gtest/gtest.h>

// What a line is and where a long one is cut is pinned through the client's
// records (POP3ClientTest); here the socket's own promises.
// A stalled server ends a check, and never holds it (or the exit) for good.
TEST(Socket, WaitsABoundedTime) {
    Socket socket;
    for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
        DWORD waits = 0;
        int size = sizeof waits;
        getsockopt(socket.nativeHandle(), SOL_SOCKET, option, reinterpret_cast<char*>(&waits),
                   &size);
        EXPECT_GE(waits, 1000u) << option;
        EXPECT_LE(waits, 120000u) << option;
    }
}
