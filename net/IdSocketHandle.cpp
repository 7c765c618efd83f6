#include "net/IdSocketHandle.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>

#include "net/IdWait.h"

namespace velomaris {

namespace {

// Records errno as the calling thread's pending socket error and returns -1.
int Failed() {
    SetPendingSocketError(WinsockErrorFromErrno(errno));
    return -1;
}

sockaddr_in MakeAddress(const std::string& ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = ip.empty() ? htonl(INADDR_ANY) : AddressFromText(ip);
    return address;
}

}  // namespace

TIdSocketHandle::~TIdSocketHandle() {
    ShutAndClose();
}

void TIdSocketHandle::CreateSocket() {
    ShutAndClose();
    // Close-on-exec: a program started later (a browser, xdg-open) must not inherit sockets.
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        handle_ = -1;
        throw EIdInvalidSocket();
    }
    isOpen_ = true;
}

void TIdSocketHandle::BindSocket() {
    sockaddr_in address = MakeAddress(IP, Port);
    int result = ::bind(handle_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0) {
        result = Failed();
        if (PendingSocketError() == kWsaeAddrInUse) {
            throw EIdCouldNotBindSocket();
        }
        stack_.CheckSocketResult(result);
    }
    ReadAddressesBack(false);
}

void TIdSocketHandle::SetRemote(const std::string& address, int port) {
    RemoteAddress = address;
    RemotePort = port;
}

int TIdSocketHandle::ConnectSocket(int timeoutMs, int wakeFd) {
    // The connect runs without blocking, so that its wait is one of the network waits that a
    // deadline or a termination request ends.
    const int flags = ::fcntl(handle_, F_GETFL);
    if (flags < 0 || ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK) < 0) {
        return Failed();
    }
    sockaddr_in address = MakeAddress(RemoteAddress, RemotePort);
    int error = 0;
    if (::connect(handle_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EINTR) {
        // The outcome is the socket's pending error once it becomes writable (connect(2)).
        switch (WaitForSocket(handle_, POLLOUT, timeoutMs, wakeFd)) {
            case TIdWaitResult::Woken:
                return kConnectWoken;
            case TIdWaitResult::TimedOut:
                error = ETIMEDOUT;
                break;
            case TIdWaitResult::Failed:
                error = errno;
                break;
            case TIdWaitResult::Ready: {
                socklen_t length = sizeof error;
                if (::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                    error = errno;
                }
                break;
            }
        }
    }
    // A peer that accepted and reset at once leaves its reset as the socket's pending error
    // by the time the wait ends: the connect itself succeeded, and the reset belongs to the
    // first receive or send, as it would after a blocking connect.
    if (error == ECONNRESET) {
        deferredError_ = error;
        error = 0;
    }
    if (error == 0 && ::fcntl(handle_, F_SETFL, flags) < 0) {
        error = errno;
    }
    if (error != 0) {
        errno = error;
        return Failed();
    }
    ReadAddressesBack(true);
    return 0;
}

void TIdSocketHandle::ListenSocket(int backlog) {
    int result = ::listen(handle_, backlog);
    stack_.CheckSocketResult(result == 0 ? 0 : Failed());
}

bool TIdSocketHandle::AcceptSocket(int listeningHandle) {
    ResetHandle();
    int accepted = ::accept4(listeningHandle, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) {
        // An interrupted accept means "nothing accepted", as does a listener closed meanwhile.
        if (stack_.CheckSocketResult(Failed(), {kWsaeIntr, kWsaeNotSock})) {
            return false;
        }
    }
    handle_ = accepted;
    isOpen_ = true;
    ReadAddressesBack(true);
    return true;
}

int TIdSocketHandle::SendBytes(const void* buffer, int count) {
    if (TakeDeferredError()) {
        return Failed();
    }
    for (;;) {
        // Never blocking inside send: a peer that stops reading is waited for like any other.
        ssize_t sent =
            ::send(handle_, buffer, static_cast<size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (WaitForSocket(handle_, POLLOUT, -1) == TIdWaitResult::Failed) {
                return Failed();
            }
            continue;
        }
        if (errno != EINTR) {
            return Failed();
        }
    }
}

bool TIdSocketHandle::TakeDeferredError() {
    if (deferredError_ == 0) {
        return false;
    }
    errno = deferredError_;
    deferredError_ = 0;
    return true;
}

int TIdSocketHandle::ReceiveBytes(void* buffer, int count) {
    if (TakeDeferredError()) {
        return Failed();
    }
    for (;;) {
        ssize_t received = ::recv(handle_, buffer, static_cast<size_t>(count), 0);
        if (received >= 0) {
            return static_cast<int>(received);
        }
        if (errno != EINTR) {
            return Failed();
        }
    }
}

bool TIdSocketHandle::WaitReadable(int timeoutMs) {
    if (!isOpen_) {
        throw EIdConnClosedGracefully();
    }
    if (deferredError_ != 0) {
        return true;  // the receive reports it
    }
    // A failing wait counts as not ready.
    return WaitForSocket(handle_, POLLIN, timeoutMs == -2 ? -1 : timeoutMs) == TIdWaitResult::Ready;
}

void TIdSocketHandle::ShutAndClose() {
    deferredError_ = 0;
    if (isOpen_) {
        isOpen_ = false;
        ::shutdown(handle_, SHUT_WR);
        ::close(handle_);
        handle_ = -1;
    }
}

void TIdSocketHandle::ResetHandle() {
    isOpen_ = false;
    deferredError_ = 0;
    handle_ = -1;
    IP.clear();
    Port = 0;
    RemoteAddress.clear();
    RemotePort = 0;
}

void TIdSocketHandle::SetNoDelay() {
    int on = 1;
    int result = ::setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    stack_.CheckSocketResult(result == 0 ? 0 : Failed());
}

void TIdSocketHandle::ReadAddressesBack(bool remoteToo) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        IP = TextFromAddress(address.sin_addr.s_addr);
        Port = ntohs(address.sin_port);
    }
    if (remoteToo) {
        length = sizeof address;
        if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            RemoteAddress = TextFromAddress(address.sin_addr.s_addr);
            RemotePort = ntohs(address.sin_port);
        }
    }
}

}  // namespace velomaris
