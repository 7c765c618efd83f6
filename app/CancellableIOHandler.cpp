#include "app/CancellableIOHandler.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "net/IdStack.h"

namespace velomaris {

namespace {

// The monotonic clock in milliseconds, for the remaining time of a wait that a signal broke.
std::int64_t NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace

TCancelSignal::TCancelSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        throw EIdException("No descriptor is left to watch the navigation");
    }
}

TCancelSignal::~TCancelSignal() {
    ::close(fd_);
}

void TCancelSignal::Cancel() noexcept {
    if (!cancelled_.exchange(true)) {
        const std::uint64_t one = 1;
        // The counter cannot overflow with a single write, so the write cannot fail.
        [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
    }
}

void TCancelSignal::Check() const {
    if (Cancelled()) {
        throw EIdNavigationCancelled();
    }
}

TCancellableIOHandler::TCancellableIOHandler(std::shared_ptr<const TCancelSignal> cancel,
                                             int connectTimeoutMs)
    : cancel_(std::move(cancel)), connectTimeoutMs_(connectTimeoutMs) {}

void TCancellableIOHandler::ConnectTo(const std::string& host, int port, int /*timeoutMs*/,
                                      const std::string& boundIP, int boundPort) {
    cancel_->Check();
    if (Endpoint() == nullptr) {
        OpenEndpoint();
    }
    TIdSocketHandle& endpoint = *Endpoint();
    endpoint.CreateSocket();
    endpoint.IP = boundIP;
    endpoint.Port = boundPort;
    endpoint.BindSocket();
    if (!IsDottedAddress(host)) {
        ReportStatus(TIdStatus::hsResolving, host);
    }
    // The name lookup itself cannot be interrupted; the system resolver bounds it.
    endpoint.SetRemote(Stack().LookupHost(host), port);
    cancel_->Check();
    if (!UseNagle) {
        endpoint.SetNoDelay();
    }
    ReportStatus(TIdStatus::hsConnecting, endpoint.RemoteAddress);
    ConnectWithin(connectTimeoutMs_);
}

void TCancellableIOHandler::ConnectWithin(int timeoutMs) {
    TIdSocketHandle& endpoint = *Endpoint();
    const int handle = endpoint.Handle();
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) < 0) {
        SetPendingSocketError(WinsockErrorFromErrno(errno));
        Stack().CheckSocketResult(-1);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(endpoint.RemotePort));
    address.sin_addr.s_addr = AddressFromText(endpoint.RemoteAddress);

    int error = 0;
    if (::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EINTR) {
        // The connect goes on in the background; its outcome is the socket's pending error
        // once it becomes writable (connect(2)).
        const std::int64_t deadline = timeoutMs > 0 ? NowMs() + timeoutMs : -1;
        const int ready = PollUnlessCancelled(handle, POLLOUT, deadline);
        if (ready < 0) {
            error = errno;
        } else if (ready == 0) {
            error = ETIMEDOUT;
        } else {
            socklen_t length = sizeof error;
            if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    if (error == 0 && ::fcntl(handle, F_SETFL, flags) < 0) {
        error = errno;
    }
    if (error != 0) {
        SetPendingSocketError(WinsockErrorFromErrno(error));
        Stack().CheckSocketResult(-1);
    }
}

bool TCancellableIOHandler::WaitReadable(int timeoutMs) {
    if (Endpoint() == nullptr || !Endpoint()->IsOpen()) {
        return TIdIOHandlerSocket::WaitReadable(timeoutMs);  // raises as the plain handler
    }
    cancel_->Check();
    // Below zero (-2 from the connection) means without limit.
    const std::int64_t deadline = timeoutMs >= 0 ? NowMs() + timeoutMs : -1;
    // A failing wait counts as not ready, as with the plain handler.
    return PollUnlessCancelled(Endpoint()->Handle(), POLLIN, deadline) > 0;
}

int TCancellableIOHandler::PollUnlessCancelled(int handle, short events, std::int64_t deadline) {
    for (;;) {
        pollfd entries[2] = {{handle, events, 0}, {cancel_->Fd(), POLLIN, 0}};
        int wait = -1;
        if (deadline >= 0) {
            const std::int64_t left = deadline - NowMs();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const int ready = ::poll(entries, 2, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        // A failed poll leaves the entries as they were, so only a real wake-up can be the
        // cancel signal; errno still tells the caller why a failed one failed.
        if (ready > 0 && entries[1].revents != 0) {
            throw EIdNavigationCancelled();
        }
        // Above zero, nothing but the handle can have woken the wait now.
        return ready;
    }
}

}  // namespace velomaris
