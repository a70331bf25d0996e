// Entry of every test program: WinSock is started once for the process, as
// the program's own entry does, and stays up for all test cases.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <cstdio>

int main(int argc, char** argv) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::fprintf(stderr, "WSAStartup failed\n");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    WSACleanup();
    return result;
}
