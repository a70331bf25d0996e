#pragma once

#include <winsock.h>

// The IPv4 address and port that Socket::connect needs, made from a host
// name or a dotted address.
class SocketAddress {
public:
    // A dotted address is used as it is; anything else is looked up and only
    // the first address of its entry is used. The port keeps its low 16 bits.
    void resolve(const char* host, int port);

    sockaddr_in addr{};
    int length = 0;
};
