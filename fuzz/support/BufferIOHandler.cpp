#include "fuzz/support/BufferIOHandler.h"

#include <algorithm>
#include <cstring>

#include "net/IdException.h"
#include "net/IdStack.h"

namespace velomaris::fuzz {

TBufferIOHandler::TBufferIOHandler(std::string incoming, std::vector<std::size_t> pieceSizes)
    : incoming_(std::move(incoming)), pieceSizes_(std::move(pieceSizes)) {}

void TBufferIOHandler::ConnectTo(const std::string&, int, int, const std::string&, int) {
    if (connectedOnce_) {
        throw EIdSocketError(111, "Socket Error # 111\nConnection refused.");
    }
    connectedOnce_ = true;
    connected_ = true;
}

bool TBufferIOHandler::WaitReadable(int) {
    // Data or the close is always there: a read never waits.
    return true;
}

int TBufferIOHandler::ReceiveData(void* buffer, int count) {
    if (!connected_ || count <= 0) {
        return 0;
    }
    std::size_t size = incoming_.size() - position_;
    if (nextPiece_ < pieceSizes_.size()) {
        size = std::min(size, std::max<std::size_t>(pieceSizes_[nextPiece_++], 1));
    }
    size = std::min(size, static_cast<std::size_t>(count));
    std::memcpy(buffer, incoming_.data() + position_, size);
    position_ += size;
    return static_cast<int>(size);
}

int TBufferIOHandler::SendData(const void* buffer, int count) {
    if (!connected_) {
        SetPendingSocketError(kWsaeConnReset);
        return -1;
    }
    sent_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    return count;
}

std::vector<std::size_t> PieceSizesFrom(const std::string& bytes) {
    std::vector<std::size_t> sizes;
    sizes.reserve(bytes.size());
    for (const char byte : bytes) {
        sizes.push_back(static_cast<std::size_t>(static_cast<unsigned char>(byte)) + 1);
    }
    return sizes;
}

}  // namespace velomaris::fuzz
