#include "net/IdIOHandlerSocket.h"

namespace velomaris {

void TIdIOHandlerSocket::CloseEndpoint() {
    if (endpoint_) {
        endpoint_->ShutAndClose();
    }
}

void TIdIOHandlerSocket::ConnectTo(const std::string& host, int port, int /*timeoutMs*/,
                                   const std::string& boundIP, int boundPort) {
    // Every connect blocks until the system decides; no caller asks for a shorter limit.
    if (!endpoint_) {
        OpenEndpoint();
    }
    endpoint_->CreateSocket();
    endpoint_->IP = boundIP;
    endpoint_->Port = boundPort;
    endpoint_->BindSocket();
    if (!IsDottedAddress(host)) {
        ReportStatus(TIdStatus::hsResolving, host);
    }
    endpoint_->SetRemote(Stack().LookupHost(host), port);
    if (!UseNagle) {
        endpoint_->SetNoDelay();
    }
    ReportStatus(TIdStatus::hsConnecting, endpoint_->RemoteAddress);
    Stack().CheckSocketResult(endpoint_->ConnectSocket());
}

bool TIdIOHandlerSocket::IsConnected() const {
    return endpoint_ && endpoint_->IsOpen();
}

void TIdIOHandlerSocket::OpenEndpoint() {
    if (!endpoint_) {
        endpoint_ = std::make_unique<TIdSocketHandle>(Stack());
    } else {
        endpoint_->ShutAndClose();  // never leak a socket that is somehow still open
        endpoint_->ResetHandle();
    }
}

bool TIdIOHandlerSocket::WaitReadable(int timeoutMs) {
    if (!endpoint_) {
        throw EIdConnClosedGracefully();
    }
    return endpoint_->WaitReadable(timeoutMs);
}

int TIdIOHandlerSocket::ReceiveData(void* buffer, int count) {
    if (!IsConnected()) {
        throw EIdClosedSocket();
    }
    return endpoint_->ReceiveBytes(buffer, count);
}

int TIdIOHandlerSocket::SendData(const void* buffer, int count) {
    if (!IsConnected()) {
        throw EIdClosedSocket();
    }
    return endpoint_->SendBytes(buffer, count);
}

}  // namespace velomaris
