#include "tests/support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace velomaris {

LoopbackSocket::LoopbackSocket() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address_.sin_family = AF_INET;
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address_;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length) != 0) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        throw std::runtime_error("LoopbackSocket: cannot bind a port on 127.0.0.1");
    }
}

LoopbackSocket::~LoopbackSocket() {
    ::close(fd_);
}

void LoopbackSocket::Listen(int backlog) const {
    if (::listen(fd_, backlog) != 0) {
        throw std::runtime_error("LoopbackSocket: cannot listen on 127.0.0.1");
    }
}

}  // namespace velomaris
