#include "net/IdTCPClient.h"

#include "net/IdIOHandlerSocket.h"

namespace velomaris {

void TIdTCPClient::NotifyConnected() {
    if (OnConnected) {
        OnConnected(this);
    }
}

void TIdTCPClient::OpenConnection(int timeoutMs) {
    // A port beyond 16 bits would wrap to another port on the wire.
    if (port_ < 1 || port_ > 65535) {
        throw EIdInvalidPort(std::to_string(port_));
    }
    if (IOHandler() == nullptr) {
        AdoptIOHandler(std::make_unique<TIdIOHandlerSocket>());
    } else if (IOHandler()->IsConnected()) {
        throw EIdAlreadyConnected();
    }
    try {
        IOHandler()->OpenEndpoint();
        ResetInput();
        IOHandler()->ConnectTo(host_, port_, timeoutMs, boundIP_, boundPort_);
        ReportStatus(TIdStatus::hsConnected, host_);
        NotifyConnected();
    } catch (...) {
        ReleaseSocket();
        throw;
    }
}

}  // namespace velomaris
