// An IO handler that plays the peer of one connection from bytes in memory, so the readers of
// a connection can be fed any byte sequence, cut into any pieces, without a socket: each
// receive hands out the next piece, everything sent is collected, and the end of the bytes is
// the peer's close. A second connect is refused, so a client that reconnects meets a dead end
// instead of the same bytes again.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/IdIOHandler.h"

namespace velomaris::fuzz {

class TBufferIOHandler : public TIdIOHandler {
public:
    // pieceSizes: the size of each receive in turn (0 counts as 1); after the last one, the
    // rest arrives whole. No sizes at all: everything in one receive.
    TBufferIOHandler(std::string incoming, std::vector<std::size_t> pieceSizes);

    void CloseEndpoint() override { connected_ = false; }
    void ConnectTo(const std::string& host, int port, int timeoutMs, const std::string& boundIP,
                   int boundPort) override;
    bool IsConnected() const override { return connected_; }
    void OpenEndpoint() override {}
    bool WaitReadable(int timeoutMs) override;
    int ReceiveData(void* buffer, int count) override;
    int SendData(const void* buffer, int count) override;

    const std::string& Sent() const { return sent_; }

private:
    std::string incoming_;
    std::vector<std::size_t> pieceSizes_;
    std::size_t nextPiece_ = 0;
    std::size_t position_ = 0;
    bool connected_ = false;
    bool connectedOnce_ = false;
    std::string sent_;
};

// Piece sizes drawn from bytes: each byte is one size from 1 to 256.
std::vector<std::size_t> PieceSizesFrom(const std::string& bytes);

}  // namespace velomaris::fuzz
