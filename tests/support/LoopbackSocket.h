#pragma once

#include <cstddef>
#include <cstdint>

// A TCP socket listening on 127.0.0.1 at a port the kernel picks, which goes to port; -1 (port 0)
// when there is none.
int listenLoopback(int &port, int backlog = 16);

// A TCP connection to 127.0.0.1:port; -1 when refused.
int connectLoopback(int port);

// Sends all size bytes; false once the peer has gone.
bool sendAll(int fd, const uint8_t *data, size_t size);
