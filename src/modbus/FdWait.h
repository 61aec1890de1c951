#pragma once

#include <cstdint>

// Milliseconds on the steady clock, for deadlines of the transfers.
int64_t steadyMs();

// Waits until fd reports one of `events` (or an error or hang-up), at most
// timeoutMs (0 = just test). A signal does not end the wait early.
// Returns the reported events, 0 on time-out, -1 when poll fails.
int waitForFd(int fd, short events, int timeoutMs);
