#pragma once

#include <winsock.h>

#include <chrono>

// What every test server needs of WinSock: a listening socket on 127.0.0.1
// and a bounded wait for something to read.

// Listens on 127.0.0.1 at wantedPort (0: a free one) and answers the port in
// use. Throws Socket::Exception naming the call that failed.
SOCKET listenOnLoopback(int wantedPort, int& port);

// Whether s has something to read (or a connection to accept) within limit.
bool readable(SOCKET s, std::chrono::milliseconds limit);
