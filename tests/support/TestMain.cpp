// Entry of every test program: WinSock is started once for the process, as
// the program's own entry does, and stays up for all test cases.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

int main(int argc, char** argv) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 1; // every socket call of the tests would fail
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
