// The IO handler over one socket handle (its Endpoint), connecting straight to the target.
#pragma once

#include <memory>
#include <string>

#include "net/IdIOHandler.h"
#include "net/IdSocketHandle.h"

namespace velomaris {

enum class TSocksVersion { svNoSocks };

// Proxy settings of the IO handler; connections always go straight to the target host.
struct TIdSocksInfo {
    TSocksVersion Version = TSocksVersion::svNoSocks;
};

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    TIdIOHandlerSocket() = default;
    ~TIdIOHandlerSocket() override = default;

    void CloseEndpoint() override;
    void ConnectTo(const std::string& host, int port, int timeoutMs, const std::string& boundIP,
                   int boundPort) override;
    bool IsConnected() const override;
    // Creates the Endpoint the first time, forgets its old socket and addresses afterwards.
    void OpenEndpoint() override;
    bool WaitReadable(int timeoutMs) override;
    // EIdClosedSocket "Disconnected." when the socket is not open.
    int ReceiveData(void* buffer, int count) override;
    int SendData(const void* buffer, int count) override;
    TIdSocketHandle* SocketEndpoint() const override { return endpoint_.get(); }

    // None before the first OpenEndpoint.
    TIdSocketHandle* Endpoint() const { return endpoint_.get(); }

    // When false, the TCP no-delay option is switched on before connecting.
    bool UseNagle = true;
    TIdSocksInfo& SocksInfo() { return socksInfo_; }

private:
    std::unique_ptr<TIdSocketHandle> endpoint_;
    TIdSocksInfo socksInfo_;
};

}  // namespace velomaris
