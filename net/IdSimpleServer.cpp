#include "net/IdSimpleServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "net/IdWait.h"

namespace velomaris {

namespace {

constexpr int kBacklog = 15;
// The accept wait looks at the stop flag at least this often.
constexpr int kAcceptSliceMs = 100;

}  // namespace

TIdSimpleServer::~TIdSimpleServer() {
    CloseListeningSocket();
}

TIdSocketHandle* TIdSimpleServer::Endpoint() const {
    return IOHandler() != nullptr ? IOHandler()->SocketEndpoint() : nullptr;
}

void TIdSimpleServer::ResetInput() {
    TIdTCPConnection::ResetInput();
    listening_ = false;
    stopRequested_ = false;
    CloseListeningSocket();
    DestroyOwnedIOHandler();
}

void TIdSimpleServer::StartListening() {
    if (IOHandler() == nullptr) {
        ResetInput();
        AdoptIOHandler(std::make_unique<TIdIOHandlerSocket>());
        IOHandler()->OpenEndpoint();
    }
    try {
        TIdSocketHandle* endpoint = Endpoint();
        if (listeningSocket_ == -1) {
            try {
                endpoint->CreateSocket();
                listeningSocket_ = endpoint->Handle();
                endpoint->IP = boundIP_;
                endpoint->Port = boundPort_;
                endpoint->BindSocket();
            } catch (...) {
                endpoint->ShutAndClose();
                listeningSocket_ = -1;
                throw;
            }
        }
        endpoint->ListenSocket(kBacklog);
        listening_ = true;
    } catch (...) {
        CloseListeningSocket();
        DestroyOwnedIOHandler();
        throw;
    }
}

bool TIdSimpleServer::AcceptConnection() {
    if (!listening_) {
        StartListening();
    }
    TIdSocketHandle* endpoint = Endpoint();
    const auto start = std::chrono::steady_clock::now();
    bool accepted = false;
    try {
        while (!stopRequested_ && !accepted) {
            int slice = kAcceptSliceMs;
            if (acceptTimeout_ > 0) {
                const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count();
                if (waited >= acceptTimeout_) {
                    throw EIdAcceptTimeout();
                }
                slice = static_cast<int>(std::min<long long>(slice, acceptTimeout_ - waited));
            }
            if (WaitForSocket(listeningSocket_, POLLIN, slice) != TIdWaitResult::Ready) {
                continue;
            }
            if (!endpoint->AcceptSocket(listeningSocket_)) {
                break;
            }
            accepted = allowedPeerIP_.empty() || endpoint->RemoteAddress == allowedPeerIP_;
            if (!accepted) {
                // Someone else came first: whoever it is, the file is not theirs.
                endpoint->ShutAndClose();
            }
        }
    } catch (...) {
        CloseListeningSocket();
        listening_ = false;
        throw;
    }
    CloseListeningSocket();
    listening_ = false;
    return accepted;
}

void TIdSimpleServer::CloseListeningSocket() {
    if (listeningSocket_ == -1) {
        return;
    }
    TIdSocketHandle* endpoint = Endpoint();
    if (endpoint != nullptr && endpoint->Handle() == listeningSocket_) {
        endpoint->ShutAndClose();  // the endpoint still holds it: close it once, there
    } else {
        ::close(listeningSocket_);
    }
    listeningSocket_ = -1;
}

}  // namespace velomaris
