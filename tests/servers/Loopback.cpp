#include "servers/Loopback.h"

#include "net/Socket.h"

SOCKET listenOnLoopback(int wantedPort, int& port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        throw Socket::Exception("socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<u_short>(wantedPort));
    int length = sizeof address;
    const char* failed = nullptr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
        failed = "bind() failed";
    else if (::listen(s, SOMAXCONN) == SOCKET_ERROR)
        failed = "listen() failed";
    else if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR)
        failed = "getsockname() failed";
    if (failed) {
        // Made before closesocket, which would replace the error number.
        Socket::Exception failure(failed);
        ::closesocket(s);
        throw failure;
    }
    port = ntohs(address.sin_port);
    return s;
}

bool readable(SOCKET s, std::chrono::milliseconds limit) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{static_cast<long>(limit.count() / 1000), static_cast<long>(limit.count() % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &tv) == 1;
}
