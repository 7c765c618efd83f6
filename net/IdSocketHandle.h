// One operating-system socket (IPv4 stream, blocking) with its local and remote address.
#pragma once

#include <cstdint>
#include <string>

#include "net/IdStack.h"

namespace velomaris {

class TIdSocketHandle {
public:
    explicit TIdSocketHandle(TIdStack& stack) : stack_(stack) {}
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Closes any socket held, then opens a new one; EIdInvalidSocket when none can be had.
    void CreateSocket();
    // Binds to IP (empty: any) and Port (0: chosen by the system) and reads both back.
    void BindSocket();
    void SetRemote(const std::string& address, int port);
    // The raw result of connect (0, or -1 with the pending socket error set; 10060 when
    // timeoutMs passed first, below 0: the system's own limit), or kConnectWoken when wakeFd
    // became readable first. Every wait is a network wait of net/IdWait.h.
    static constexpr int kConnectWoken = -2;
    int ConnectSocket(int timeoutMs = -1, int wakeFd = -1);
    void ListenSocket(int backlog);
    // Accepts one connection of the listening socket into this handle. False when the accept
    // was interrupted (10004) or the listening socket is not a socket (10038).
    bool AcceptSocket(int listeningHandle);
    // One send or receive call; the raw result (bytes, or -1 with the pending error set).
    // A send never raises SIGPIPE: a peer that has gone gives an error code instead.
    int SendBytes(const void* buffer, int count);
    int ReceiveBytes(void* buffer, int count);
    // Waits until the socket is readable, at most timeoutMs milliseconds (-2: no limit).
    // EIdConnClosedGracefully when the handle is not open; a failing wait counts as not ready.
    bool WaitReadable(int timeoutMs);
    // Shuts down the sending side and closes the socket; the recorded addresses stay.
    void ShutAndClose();
    // Forgets the socket and the addresses without closing anything.
    void ResetHandle();
    // Switches the TCP no-delay option on (EIdSocketError on failure).
    void SetNoDelay();

    int Handle() const { return handle_; }
    bool IsOpen() const { return isOpen_; }

    std::string IP;
    int Port = 0;
    std::string RemoteAddress;
    int RemotePort = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

private:
    void ReadAddressesBack(bool remoteToo);
    // Sets errno to an error the connect left for the first receive or send; false when none.
    bool TakeDeferredError();

    TIdStack& stack_;
    int handle_ = -1;
    bool isOpen_ = false;
    int deferredError_ = 0;
};

}  // namespace velomaris
