// The exception family of the network components: every failure of a socket, a connection or a
// protocol exchange is an EIdException (or a class below it) carrying its message.
#pragma once

#include <string>

#include "platform/Exception.h"

namespace velomaris {

class EIdException : public Exception {
public:
    using Exception::Exception;
};

// A failure that is part of normal operation (the peer closed its side).
class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully() : EIdSilentException("Connection Closed Gracefully.") {}
};

class EIdTCPConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdNotEnoughDataInBuffer : public EIdTCPConnectionError {
public:
    EIdNotEnoughDataInBuffer() : EIdTCPConnectionError("Not enough data in buffer.") {}
};

class EIdNoDataToRead : public EIdTCPConnectionError {
public:
    EIdNoDataToRead() : EIdTCPConnectionError("No data to read.") {}
};

class EIdNotConnected : public EIdTCPConnectionError {
public:
    EIdNotConnected() : EIdTCPConnectionError("Not Connected") {}
};

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdReadTimeout : public EIdException {
public:
    EIdReadTimeout() : EIdException("Read Timeout") {}

protected:
    explicit EIdReadTimeout(std::string message) : EIdException(std::move(message)) {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

// A reply whose code the caller does not accept; the message is the reply's text lines, each
// followed by CR LF.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyCode, std::string message)
        : EIdException(std::move(message)), replyCode_(replyCode) {}
    int ReplyCode() const noexcept { return replyCode_; }

private:
    int replyCode_;
};

// A server's reply that goes on beyond the bounds of one reply (lines or bytes); the
// connection is closed.
class EIdReplyTooLarge : public EIdException {
public:
    using EIdException::EIdException;
};

// A port outside 1..65535, refused before anything is connected.
class EIdInvalidPort : public EIdException {
public:
    explicit EIdInvalidPort(const std::string& port)
        : EIdException("Invalid port " + port + ": a port must be a number from 1 to 65535.") {}
};

// Socket layer failures.
class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdStackInitializationFailed : public EIdStackError {
public:
    EIdStackInitializationFailed() : EIdStackError("Winsock Initialization Error.") {}
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    EIdCouldNotBindSocket()
        : EIdSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdClosedSocket : public EIdException {
public:
    EIdClosedSocket() : EIdException("Disconnected.") {}
};

// A failing socket call; the message is TranslateSocketError(ErrorCode()).
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int errorCode, std::string message)
        : EIdException(std::move(message)), errorCode_(errorCode) {}
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

// Raised where the socket library is loaded at run time and cannot be; kept for the class tree
// (POSIX sockets are linked, so this system never raises it).
class EIdWS2StubError : public EIdException {
public:
    EIdWS2StubError(std::string message, int win32Error, std::string win32ErrorText)
        : EIdException(std::move(message)),
          win32Error_(win32Error),
          win32ErrorText_(std::move(win32ErrorText)) {}
    int Win32Error() const noexcept { return win32Error_; }
    const std::string& Win32ErrorText() const noexcept { return win32ErrorText_; }

private:
    int win32Error_;
    std::string win32ErrorText_;
};

}  // namespace velomaris
