// A TCP connection with an input buffer: received bytes wait in PendingInput until a caller
// consumes them as lines, as an exact count or as everything up to the peer's close. Output
// goes straight to the socket, or into a write batch that leaves as one block. A close of the
// peer is noticed by the read or write that meets it: the socket is then released and the
// bytes still buffered stay readable. Every failure is an exception (see net/IdException.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdIOHandler.h"
#include "net/IdManagedBuffer.h"
#include "net/IdRFCReply.h"
#include "platform/Stream.h"

namespace velomaris {

enum class TIdMaxLineAction { maException, maSplit };

// Allowed reply codes of the command and reply exchange; an empty list accepts every code.
using TIdReplyCodes = std::vector<std::int16_t>;

class TIdTCPConnection : public TIdComponent {
public:
    static constexpr std::int32_t kDefaultMaxLineLength = 16384;
    static constexpr std::int32_t kDefaultBufferSize = 32768;
    // ReadIntoStream with a count never reserves room in the stream further than this ahead of
    // the bytes that have arrived, so an announced length cannot make the process allocate
    // gigabytes.
    static constexpr std::int64_t kMaxStreamPresize = 16 * 1024 * 1024;

    TIdTCPConnection();
    ~TIdTCPConnection() override;

    // --- properties
    bool ASCIIFilter() const { return asciiFilter_; }
    void SetASCIIFilter(bool value) { asciiFilter_ = value; }
    // The IO handler performing the socket operations (none until OpenConnection creates one,
    // unless the owner sets one it keeps owning).
    TIdIOHandler* IOHandler() const { return ioHandler_; }
    void SetIOHandler(TIdIOHandler* handler);
    std::int32_t MaxLineLength() const { return maxLineLength_; }
    void SetMaxLineLength(std::int32_t value) { maxLineLength_ = value; }
    TIdMaxLineAction MaxLineAction() const { return maxLineAction_; }
    void SetMaxLineAction(TIdMaxLineAction value) { maxLineAction_ = value; }
    // Milliseconds of each wait for incoming data; 0 waits without limit.
    std::int32_t ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(std::int32_t value) { readTimeout_ = value; }
    std::int32_t RecvBufferSize() const { return recvBufferSize_; }
    void SetRecvBufferSize(std::int32_t value) { recvBufferSize_ = value > 0 ? value : 1; }
    std::int32_t SendBufferSize() const { return sendBufferSize_; }
    void SetSendBufferSize(std::int32_t value) { sendBufferSize_ = value > 0 ? value : 1; }
    TNotifyEvent OnDisconnected;

    TIdManagedBuffer& PendingInput() { return pendingInput_; }
    bool PeerClosed() const { return peerClosed_; }
    TIdRFCReply& WelcomeReply() { return welcomeReply_; }
    TIdRFCReply& LastReply() { return lastReply_; }

    // --- connection state
    virtual void NotifyDisconnected();
    // Empties PendingInput and clears PeerClosed.
    virtual void ResetInput();
    // Releases the socket once the peer's close has been seen (hsDisconnected, OnDisconnected)
    // and raises EIdConnClosedGracefully when closed, raiseIfClosed is set and nothing is
    // buffered (or ignoreBuffer is set).
    virtual void CheckForClose(bool raiseIfClosed, bool ignoreBuffer);
    // Waits at most 1 ms for input, so a close by the peer is noticed before a reuse.
    virtual void ProbeForClose(bool raiseIfClosed);
    virtual bool IsConnected();
    // Releases the socket and destroys an owned IO handler; sends nothing. Never raises from
    // the socket layer; may be called in any state.
    virtual void CloseConnection();
    // Closes the socket (sending side shut down first); the IO handler and the buffer stay.
    virtual void ReleaseSocket();

    // --- command and reply exchange (RFC 959 section 4.2 reply form)
    virtual std::int16_t CheckReplyCode(std::int16_t code, const TIdReplyCodes& allowed);
    virtual std::int16_t ReadReply(const TIdReplyCodes& allowed);
    [[noreturn]] virtual void RaiseReplyError();
    virtual std::int16_t SendCommand(const std::string& line, const TIdReplyCodes& allowed);
    // The single-code form: -1 accepts every code.
    std::int16_t SendCommand(const std::string& line, std::int16_t code);
    // Reads one reply (blank lines before each of its lines skipped). A reply beyond the
    // bounds of net/NetworkLimits.h closes the connection and raises EIdReplyTooLarge.
    void ReadRawReply();
    std::string ReadNonEmptyLine(std::int32_t maxAttempts);

    // --- reading
    // The only place bytes are received. Returns the count received, 0 after the peer closed,
    // -1 after a time-out when raiseOnTimeout is false. timeoutMs -1 uses ReadTimeout.
    virtual int FillInputBuffer(bool raiseIfClosed = true, int timeoutMs = -1,
                                bool raiseOnTimeout = true);
    // One line without its terminator (default LF; a CR before the LF is dropped too). Returns
    // an empty string when the peer closes before a terminator (the bytes stay buffered).
    virtual std::string ReadLine(const std::string& terminator = std::string(), int timeoutMs = -1,
                                 std::int32_t maxLength = -1);
    void ReadExact(void* buffer, std::int32_t count);
    // Appends count bytes to the stream at its position, or (count -1, untilClosed false) a
    // 4-byte network-order count followed by that many bytes, or everything up to the close.
    void ReadIntoStream(TStream& stream, std::int64_t count = -1, bool untilClosed = false);

    // --- writing
    virtual void WriteText(const std::string& text);
    // The text and CR LF in one write.
    virtual void WriteLine(const std::string& text);
    void WriteBytes(const void* buffer, std::int64_t count, bool writeNow = false);
    // From position 0 (fromStart) or the current position to the end, or size bytes, in blocks
    // of SendBufferSize; withCount sends the total as a 4-byte network-order count first.
    virtual void WriteFromStream(TStream& stream, bool fromStart = true, bool withCount = false,
                                 std::int64_t size = 0);

    // --- write batch: writes in between leave as one block
    void BeginWriteBuffering(std::int32_t threshold = -1);
    void FlushWriteBuffering(std::int32_t count = -1);
    void EndWriteBuffering();
    void DiscardWriteBuffering();

protected:
    // Makes the handler the owned IO handler (destroyed by CloseConnection) and gives it the
    // status handler of this component.
    void AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler);
    void DestroyOwnedIOHandler();
    bool OwnsIOHandler() const { return ownedIOHandler_ != nullptr; }
    void SetPeerClosed(bool value) { peerClosed_ = value; }

private:
    // The next non-blank line of a reply; counts every line read against the reply's bounds.
    std::string ReadReplyLine(int& lines, std::size_t& bytes);

private:
    bool asciiFilter_ = false;
    TIdIOHandler* ioHandler_ = nullptr;
    std::unique_ptr<TIdIOHandler> ownedIOHandler_;
    std::int32_t maxLineLength_ = kDefaultMaxLineLength;
    TIdMaxLineAction maxLineAction_ = TIdMaxLineAction::maException;
    std::int32_t readTimeout_ = 0;
    std::int32_t recvBufferSize_ = kDefaultBufferSize;
    std::int32_t sendBufferSize_ = kDefaultBufferSize;

    TIdManagedBuffer pendingInput_;
    TIdSimpleBuffer receiveScratch_;
    bool peerClosed_ = false;
    std::unique_ptr<TIdSimpleBuffer> writeBatch_;
    std::int32_t writeBatchThreshold_ = 0;
    TIdRFCReply welcomeReply_;
    TIdRFCReply lastReply_;
};

}  // namespace velomaris
