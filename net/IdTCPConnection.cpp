#include "net/IdTCPConnection.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace velomaris {

namespace {

constexpr int kNoLimit = -2;

}  // namespace

TIdTCPConnection::TIdTCPConnection() {
    pendingInput_.OnRemoved = [this](std::size_t count) {
        WorkProgress(TWorkMode::wmRead, static_cast<std::int32_t>(count));
    };
}

TIdTCPConnection::~TIdTCPConnection() {
    // Destruction releases the socket quietly: no notification reaches an owner that may be
    // half destroyed itself.
    if (ioHandler_ != nullptr) {
        peerClosed_ = true;
        ioHandler_->CloseEndpoint();
    }
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler) {
    if (ownedIOHandler_ && ownedIOHandler_.get() != handler) {
        ownedIOHandler_.reset();
    }
    ioHandler_ = handler;
}

void TIdTCPConnection::AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler) {
    handler->OnStatus = OnStatus;
    ownedIOHandler_ = std::move(handler);
    ioHandler_ = ownedIOHandler_.get();
}

void TIdTCPConnection::DestroyOwnedIOHandler() {
    if (ownedIOHandler_) {
        ownedIOHandler_.reset();
        ioHandler_ = nullptr;
    }
}

void TIdTCPConnection::NotifyDisconnected() {
    if (OnDisconnected) {
        OnDisconnected(this);
    }
}

void TIdTCPConnection::ResetInput() {
    pendingInput_.Clear();
    peerClosed_ = false;
}

void TIdTCPConnection::CheckForClose(bool raiseIfClosed, bool ignoreBuffer) {
    bool closed = false;
    if (peerClosed_ || ioHandler_ == nullptr) {
        if (ioHandler_ != nullptr) {
            if (ioHandler_->IsConnected()) {
                ReleaseSocket();
                ReportStatus(TIdStatus::hsDisconnected);
                NotifyDisconnected();
            }
            closed = true;
        }
    } else {
        closed = !ioHandler_->IsConnected();
    }
    if (closed && raiseIfClosed && (pendingInput_.Empty() || ignoreBuffer)) {
        throw EIdConnClosedGracefully();
    }
}

void TIdTCPConnection::ProbeForClose(bool raiseIfClosed) {
    FillInputBuffer(raiseIfClosed, 1, false);
}

bool TIdTCPConnection::IsConnected() {
    CheckForClose(false, false);
    return ioHandler_ != nullptr && ioHandler_->IsConnected();
}

void TIdTCPConnection::ReleaseSocket() {
    if (ioHandler_ != nullptr) {
        peerClosed_ = true;
        ioHandler_->CloseEndpoint();
    }
}

void TIdTCPConnection::CloseConnection() {
    ReportStatus(TIdStatus::hsDisconnecting);
    ReleaseSocket();
    DestroyOwnedIOHandler();
    NotifyDisconnected();
    ReportStatus(TIdStatus::hsDisconnected);
}

int TIdTCPConnection::FillInputBuffer(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout) {
    if (timeoutMs == -1) {
        timeoutMs = readTimeout_ == 0 ? kNoLimit : readTimeout_;
    }
    int result = 0;
    CheckForClose(raiseIfClosed, false);
    if (!IsConnected()) {
        if (raiseIfClosed) {
            throw EIdNotConnected();
        }
        return 0;
    }
    int received;
    do {
        if (!ioHandler_->WaitReadable(timeoutMs)) {
            if (raiseOnTimeout) {
                throw EIdReadTimeout();
            }
            return -1;
        }
        receiveScratch_.SetLength(static_cast<std::size_t>(recvBufferSize_));
        received = ioHandler_->ReceiveData(receiveScratch_.Memory(), recvBufferSize_);
        peerClosed_ = received == 0;
        if (received < 0) {
            const int code = PendingSocketError();
            if (code == kWsaeShutdown || code == kWsaeConnAborted) {
                ReleaseSocket();
                received = 0;
                if (pendingInput_.Empty()) {
                    Stack().CheckSocketResult(-1);
                }
            } else {
                Stack().CheckSocketResult(-1);
            }
        }
        if (received > 0) {
            char* bytes = receiveScratch_.Memory();
            if (asciiFilter_) {
                for (int i = 0; i < received; ++i) {
                    bytes[i] = static_cast<char>(bytes[i] & 0x7F);
                }
            }
            pendingInput_.Append(bytes, static_cast<std::size_t>(received));
        }
        CheckForClose(raiseIfClosed, false);
        result = received;
    } while (received == 0 && IsConnected());
    return result;
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeoutMs,
                                       std::int32_t maxLength) {
    if (maxLength == -1) {
        maxLength = maxLineLength_;
    }
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    const std::size_t limit = static_cast<std::size_t>(maxLength);
    auto tooLong = [&]() -> std::string {
        if (maxLineAction_ == TIdMaxLineAction::maException) {
            throw EIdReadLnMaxLineLengthExceeded();
        }
        return pendingInput_.Extract(limit);
    };
    std::size_t found = std::string::npos;  // offset of the terminator in PendingInput
    std::size_t scanned = 0;
    for (;;) {
        const std::size_t size = pendingInput_.Size();
        if (size > 0) {
            found = pendingInput_.Find(term, scanned);
            // Resume later searches where this one stopped; a terminator of several bytes
            // may have arrived in part, so its first bytes are searched again.
            scanned = size >= term.size() ? size - (term.size() - 1) : 0;
        }
        // The length of a line counts every byte before the terminator, a CR before LF too.
        if (maxLength != 0 && found != std::string::npos && found > limit) {
            return tooLong();
        }
        if (found == std::string::npos) {
            if (maxLength != 0 && size > limit) {
                return tooLong();
            }
            CheckForClose(true, true);
            int received = FillInputBuffer(true, timeoutMs, timeoutMs == -1);
            if (received <= 0) {
                // Closed (or, with an explicit time-out, nothing arrived): the unterminated
                // bytes stay buffered for the next read.
                return std::string();
            }
            continue;
        }
        std::string line = pendingInput_.Extract(found + term.size());
        line.resize(found);
        if (term == "\n" && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line;
    }
}

void TIdTCPConnection::ReadExact(void* buffer, std::int32_t count) {
    if (count <= 0 || buffer == nullptr) {
        return;
    }
    const std::size_t wanted = static_cast<std::size_t>(count);
    while (pendingInput_.Size() < wanted) {
        FillInputBuffer(true, -1, true);
        CheckForClose(true, true);
    }
    std::memcpy(buffer, pendingInput_.Data(), wanted);
    pendingInput_.Remove(wanted);
}

void TIdTCPConnection::ReadIntoStream(TStream& stream, std::int64_t count, bool untilClosed) {
    if (count == -1 && !untilClosed) {
        std::uint32_t networkCount = 0;
        ReadExact(&networkCount, 4);
        count = static_cast<std::int32_t>(ntohl(networkCount));
    }
    if (count >= 0) {
        // Room set aside, not bytes written: nothing is zero-filled ahead of the data, and a
        // hostile count cannot make it take more than kMaxStreamPresize.
        stream.Reserve(stream.Position() + std::min(count, kMaxStreamPresize));
    }
    std::int64_t remaining = untilClosed ? INT32_MAX : count;
    WorkBegin(
        TWorkMode::wmRead,
        untilClosed ? 0 : static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX)));
    try {
        // What is buffered first, then each block from the input buffer straight into the
        // stream as it arrives.
        for (bool closed = false; remaining > 0 && !closed && IsConnected();) {
            if (pendingInput_.Empty()) {
                try {
                    FillInputBuffer(true, -1, true);
                    CheckForClose(true, true);
                } catch (const EIdConnClosedGracefully&) {
                    if (!untilClosed) {
                        throw;
                    }
                    // The close ends the transfer: what is buffered is the rest of it.
                    closed = true;
                }
            }
            const std::int64_t k =
                std::min(static_cast<std::int64_t>(pendingInput_.Size()), remaining);
            if (k > 0) {
                stream.Write(pendingInput_.Data(), k);
                pendingInput_.Remove(static_cast<std::size_t>(k));
                remaining -= k;
            }
        }
    } catch (...) {
        WorkEnd(TWorkMode::wmRead);
        if (stream.Size() > stream.Position()) {
            stream.SetSize(stream.Position());
        }
        throw;
    }
    WorkEnd(TWorkMode::wmRead);
    if (stream.Size() > stream.Position()) {
        stream.SetSize(stream.Position());
    }
}

void TIdTCPConnection::WriteBytes(const void* buffer, std::int64_t count, bool writeNow) {
    if (count <= 0 || buffer == nullptr) {
        return;
    }
    CheckForClose(true, true);
    if (!IsConnected()) {
        throw EIdNotConnected();
    }
    const char* bytes = static_cast<const char*>(buffer);
    if (writeBatch_ && !writeNow) {
        writeBatch_->Append(bytes, static_cast<std::size_t>(count));
        if (writeBatchThreshold_ > 0 &&
            writeBatch_->Length() >= static_cast<std::size_t>(writeBatchThreshold_)) {
            FlushWriteBuffering(writeBatchThreshold_);
        }
        return;
    }
    // The caller's buffer may be the write batch itself, which a failure path may empty.
    const std::string copy(bytes, static_cast<std::size_t>(count));
    std::int64_t position = 0;
    while (position < count) {
        const int piece = static_cast<int>(std::min<std::int64_t>(count - position, INT32_MAX));
        int sent = ioHandler_->SendData(copy.data() + position, piece);
        peerClosed_ = sent == 0;
        CheckForClose(true, false);
        if (sent < 0) {
            const int code = PendingSocketError();
            if (code == kWsaeShutdown || code == kWsaeConnAborted || code == kWsaeConnReset) {
                ReleaseSocket();
            }
            Stack().CheckSocketResult(-1);
        }
        WorkProgress(TWorkMode::wmWrite, sent);
        position += sent;
    }
}

void TIdTCPConnection::WriteText(const std::string& text) {
    if (!text.empty()) {
        WriteBytes(text.data(), static_cast<std::int64_t>(text.size()), false);
    }
}

void TIdTCPConnection::WriteLine(const std::string& text) {
    WriteText(text + "\r\n");
}

void TIdTCPConnection::WriteFromStream(TStream& stream, bool fromStart, bool withCount,
                                       std::int64_t size) {
    if (fromStart) {
        stream.SetPosition(0);
    }
    const std::int64_t end = size != 0 ? stream.Position() + size : stream.Size();
    const std::int64_t total = end - stream.Position();
    if (withCount) {
        const std::uint32_t networkCount = htonl(static_cast<std::uint32_t>(total));
        WriteBytes(&networkCount, 4);
    }
    WorkBegin(TWorkMode::wmWrite,
              static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX)));
    try {
        std::vector<char> scratch(static_cast<std::size_t>(sendBufferSize_));
        for (;;) {
            const std::int64_t k = std::min<std::int64_t>(end - stream.Position(), sendBufferSize_);
            if (k <= 0) {
                break;
            }
            const std::int64_t got = stream.Read(scratch.data(), k);
            if (got <= 0) {
                throw EIdNoDataToRead();
            }
            WriteBytes(scratch.data(), got, false);
        }
    } catch (...) {
        WorkEnd(TWorkMode::wmWrite);
        throw;
    }
    WorkEnd(TWorkMode::wmWrite);
}

void TIdTCPConnection::BeginWriteBuffering(std::int32_t threshold) {
    writeBatch_ = std::make_unique<TIdSimpleBuffer>();
    writeBatchThreshold_ = threshold;
}

void TIdTCPConnection::FlushWriteBuffering(std::int32_t count) {
    if (!writeBatch_ || writeBatch_->Length() == 0) {
        return;
    }
    const std::size_t length = writeBatch_->Length();
    if (count == -1 || length < static_cast<std::size_t>(count)) {
        std::string bytes(writeBatch_->Memory(), length);
        writeBatch_->SetLength(0);
        WriteBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), true);
    } else {
        std::string head(writeBatch_->Memory(), static_cast<std::size_t>(count));
        std::string rest(writeBatch_->Memory() + count, length - static_cast<std::size_t>(count));
        writeBatch_->SetLength(0);
        writeBatch_->Append(rest.data(), rest.size());
        WriteBytes(head.data(), static_cast<std::int64_t>(head.size()), true);
    }
}

void TIdTCPConnection::EndWriteBuffering() {
    try {
        FlushWriteBuffering(-1);
    } catch (...) {
        writeBatch_.reset();
        throw;
    }
    writeBatch_.reset();
}

void TIdTCPConnection::DiscardWriteBuffering() {
    if (writeBatch_) {
        writeBatch_->SetLength(0);
    }
}

}  // namespace velomaris
