#include "app/CancellableIOHandler.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "net/IdStack.h"
#include "net/IdWait.h"

namespace velomaris {

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
    const int result = Endpoint()->ConnectSocket(timeoutMs > 0 ? timeoutMs : -1, cancel_->Fd());
    if (result == TIdSocketHandle::kConnectWoken) {
        throw EIdNavigationCancelled();
    }
    Stack().CheckSocketResult(result);
}

bool TCancellableIOHandler::WaitReadable(int timeoutMs) {
    if (Endpoint() == nullptr || !Endpoint()->IsOpen()) {
        return TIdIOHandlerSocket::WaitReadable(timeoutMs);  // raises as the plain handler
    }
    cancel_->Check();
    // Below zero (-2 from the connection) means without limit; a failing wait counts as not
    // ready, as with the plain handler.
    switch (WaitForSocket(Endpoint()->Handle(), POLLIN, timeoutMs >= 0 ? timeoutMs : -1,
                          cancel_->Fd())) {
        case TIdWaitResult::Woken:
            throw EIdNavigationCancelled();
        case TIdWaitResult::Ready:
            return true;
        case TIdWaitResult::TimedOut:
        case TIdWaitResult::Failed:
            break;
    }
    return false;
}

}  // namespace velomaris
