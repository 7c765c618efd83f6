// The socket operations a TCP connection performs, behind one abstract interface.
#pragma once

#include <string>

#include "net/IdComponent.h"

namespace velomaris {

class TIdSocketHandle;

class TIdIOHandler : public TIdComponent {
public:
    virtual void CloseEndpoint() = 0;
    // timeoutMs -1 or 0: a blocking connect limited by the system's own connect time-out.
    virtual void ConnectTo(const std::string& host, int port, int timeoutMs,
                           const std::string& boundIP, int boundPort) = 0;
    virtual bool IsConnected() const = 0;
    virtual void OpenEndpoint() = 0;
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Raw results of one receive or send call (bytes, or -1 with the pending socket error).
    virtual int ReceiveData(void* buffer, int count) = 0;
    virtual int SendData(const void* buffer, int count) = 0;
    // The socket underneath (its local and remote address), none when there is no socket.
    virtual TIdSocketHandle* SocketEndpoint() const { return nullptr; }
};

}  // namespace velomaris
