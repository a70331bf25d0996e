#include "net/Socket.h"

#include <gtest/gtest.h>

// What a line is and where a long one is cut is pinned through the client's
// records (POP3ClientTest); here the socket's own promises.
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
