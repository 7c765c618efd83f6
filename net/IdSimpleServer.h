// A listener that accepts exactly one connection and then is that connection: the data
// connection of an active FTP transfer (RFC 959 section 3.2: the server connects to the port
// the client announced).
#pragma once

#include <string>

#include "net/IdIOHandlerSocket.h"
#include "net/IdTCPConnection.h"

namespace velomaris {

// The peer did not connect within the accept time limit.
class EIdAcceptTimeout : public EIdException {
public:
    EIdAcceptTimeout()
        : EIdException("Accept timed out: the server did not open the data connection.") {}
};

class TIdSimpleServer : public TIdTCPConnection {
public:
    // How long AcceptConnection waits for the peer, in milliseconds (0 or less: no limit).
    static constexpr int kDefaultAcceptTimeout = 60000;

    TIdSimpleServer() = default;
    ~TIdSimpleServer() override;

    const std::string& BoundIP() const { return boundIP_; }
    void SetBoundIP(const std::string& ip) { boundIP_ = ip; }
    int BoundPort() const { return boundPort_; }
    void SetBoundPort(int port) { boundPort_ = port; }
    int AcceptTimeout() const { return acceptTimeout_; }
    void SetAcceptTimeout(int milliseconds) { acceptTimeout_ = milliseconds; }
    // The only address a connection is accepted from (empty: any). A connection from another
    // address is closed at once and the wait goes on, within the same time limit.
    const std::string& AllowedPeerIP() const { return allowedPeerIP_; }
    void SetAllowedPeerIP(const std::string& ip) { allowedPeerIP_ = ip; }
    // Ends a running accept wait without a connection (checked between short waits).
    void Abort() { stopRequested_ = true; }

    int ListeningSocket() const { return listeningSocket_; }
    bool Listening() const { return listening_; }
    // The socket handle: the listening socket first, the accepted connection afterwards.
    TIdSocketHandle* Endpoint() const;

    // Also clears the listening and stop flags and destroys the IO handler.
    void ResetInput() override;
    // Binds to BoundIP:BoundPort (0: a port the system chooses, then in Endpoint()->Port) and
    // listens. A failure destroys the IO handler and propagates.
    virtual void StartListening();
    // Waits for the peer and accepts it; the listening socket is closed in every case.
    // False when Abort() ended the wait; EIdAcceptTimeout when AcceptTimeout passed. The
    // wait is a network wait of net/IdWait.h.
    virtual bool AcceptConnection();

private:
    void CloseListeningSocket();

    std::string boundIP_;
    std::string allowedPeerIP_;
    int boundPort_ = 0;
    int listeningSocket_ = -1;
    bool listening_ = false;
    bool stopRequested_ = false;
    int acceptTimeout_ = kDefaultAcceptTimeout;
};

}  // namespace velomaris
