#include "net/SocketAddress.h"

#include "net/Socket.h"

#include <algorithm>
#include <cstring>

void SocketAddress::resolve(const char* host, int port) {
    length = sizeof addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;

    unsigned long address = inet_addr(host);
    if (address == INADDR_NONE) {
        const hostent* entry = gethostbyname(host);
        if (!entry)
            throw Socket::Exception("gethostbyname() failed");

        // Round-trip the first address through its dotted form, so that a
        // name and a dotted address end in the same value. The copy is
        // bounded by the buffer whatever length the entry claims.
        char buffer[20] = {};
        const size_t entryLength = entry->h_length > 0 ? static_cast<size_t>(entry->h_length) : 0;
        std::memcpy(buffer, entry->h_addr_list[0], std::min(entryLength, sizeof(in_addr)));
        in_addr first;
        std::memcpy(&first, buffer, sizeof first);
        const char* dotted = inet_ntoa(first);
        if (!dotted)
            throw Socket::Exception("inet_ntoa() failed");
        std::memset(buffer, 0, sizeof buffer);
        std::strncpy(buffer, dotted, sizeof buffer - 1);
        address = inet_addr(buffer);
        if (address == INADDR_NONE)
            throw Socket::Exception("inet_addr() failed");
    }

    addr.sin_addr.s_addr = address;
    addr.sin_port = htons(static_cast<u_short>(port));
}
