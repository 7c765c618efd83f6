// A TCP connection that opens itself to Host:Port.
#pragma once

#include <string>

#include "net/IdTCPConnection.h"

namespace velomaris {

class TIdTCPClient : public TIdTCPConnection {
public:
    TIdTCPClient() = default;

    const std::string& Host() const { return host_; }
    virtual void SetHost(const std::string& host) { host_ = host; }
    std::int32_t Port() const { return port_; }
    virtual void SetPort(std::int32_t port) { port_ = port; }
    // Empty and 0: any local address, a port chosen by the system.
    const std::string& BoundIP() const { return boundIP_; }
    void SetBoundIP(const std::string& ip) { boundIP_ = ip; }
    std::int32_t BoundPort() const { return boundPort_; }
    void SetBoundPort(std::int32_t port) { boundPort_ = port; }
    TNotifyEvent OnConnected;

    virtual void NotifyConnected();
    // Connects to Host:Port (timeoutMs -1: the default; every value blocks until the system
    // decides). EIdInvalidPort, before anything else, when Port is outside 1..65535;
    // EIdAlreadyConnected when open; any failure releases the socket and propagates.
    virtual void OpenConnection(int timeoutMs = -1);

private:
    std::string host_;
    std::int32_t port_ = 0;
    std::string boundIP_;
    std::int32_t boundPort_ = 0;
};

}  // namespace velomaris
