// A TCP socket bound to 127.0.0.1 on a port the system chooses, closed when the object goes:
// the base of the tests' silent, full and refusing peers, and a free port for a server.
#pragma once

#include <netinet/in.h>

namespace velomaris {

class LoopbackSocket {
public:
    // Raises std::runtime_error when no socket can be bound.
    LoopbackSocket();
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    // Starts listening; connections wait in a queue of backlog until accepted (never, unless
    // the test does). Raises std::runtime_error when it cannot.
    void Listen(int backlog) const;

    int Fd() const { return fd_; }
    int Port() const { return ntohs(address_.sin_port); }
    // 127.0.0.1 and the port, for connect().
    const sockaddr_in& Address() const { return address_; }

private:
    int fd_ = -1;
    sockaddr_in address_{};
};

}  // namespace velomaris
