#pragma once
// A listening TCP socket on 127.0.0.1 with a port the system picks, for the raw test servers.

namespace quill::test {

struct LoopbackListener {
    int fd = -1;
    int port = 0;
};

// Throws std::runtime_error when no such socket can be had.
LoopbackListener listenOnLoopback(int backlog);

} // namespace quill::test
