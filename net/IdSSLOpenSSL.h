// The secure transport: TLS (1.2 or newer, OpenSSL underneath) over another IO handler, which
// keeps doing the connecting, the waiting and the socket calls, so its time-outs, deadlines
// and cancellation apply to the encrypted connection unchanged. The peer's certificate is
// always verified: against the system's trust store (OpenSSL's default paths, so SSL_CERT_FILE
// and SSL_CERT_DIR work) and for the host name that was connected to. A certificate that fails
// verification is accepted only when its SHA-256 fingerprint equals a pinned one.
// Nothing of OpenSSL shows outside this pair of files.
#pragma once

#include <memory>
#include <string>

#include "net/IdException.h"
#include "net/IdIOHandler.h"

namespace velomaris {

// Every TLS failure: the handshake was refused, the certificate was not accepted, or a record
// could not be read or written. The message names the host and OpenSSL's reason; Reason() is
// that reason alone, Fingerprint() the SHA-256 fingerprint of the certificate the peer
// presented ("AB:CD:..."; empty when it presented none).
class EIdTLSError : public EIdException {
public:
    EIdTLSError(std::string message, std::string reason, std::string fingerprint)
        : EIdException(std::move(message)),
          reason_(std::move(reason)),
          fingerprint_(std::move(fingerprint)) {}
    const std::string& Reason() const noexcept { return reason_; }
    const std::string& Fingerprint() const noexcept { return fingerprint_; }

private:
    std::string reason_;
    std::string fingerprint_;
};

// A pinned fingerprint that is not 32 bytes of hexadecimal text.
class EIdTLSInvalidPin : public EIdException {
public:
    using EIdException::EIdException;
};

class TIdSSLIOHandlerSocketOpenSSL : public TIdIOHandler {
public:
    // Over a plain socket handler of its own.
    TIdSSLIOHandlerSocketOpenSSL();
    // Over the given transport, which the caller keeps owning and which outlives this handler.
    explicit TIdSSLIOHandlerSocketOpenSSL(TIdIOHandler& transport);
    ~TIdSSLIOHandlerSocketOpenSSL() override;

    // True (the default): bytes pass unencrypted until StartTLS. False: ConnectTo performs the
    // handshake right after the connect.
    bool PassThrough() const;
    void SetPassThrough(bool value);
    // The name the certificate must carry; empty (the default): the host given to ConnectTo.
    void SetVerifyHost(const std::string& host);
    // The fingerprint accepted for a certificate the trust store does not vouch for: 64
    // hexadecimal digits, in any case, with or without ":" between the bytes; empty: none.
    // EIdTLSInvalidPin for any other text.
    void SetCertificatePin(const std::string& fingerprint);
    // Milliseconds the handshake may wait for each reply of the peer; 0: without limit.
    void SetHandshakeTimeout(int milliseconds);
    // Milliseconds a close waits for the peer to close its side after ours (0, the default:
    // no wait). See CloseEndpoint.
    void SetLingerOnClose(int milliseconds);

    // Performs the handshake on the connected transport (EIdTLSError when it fails; the
    // transport's own exceptions pass through). Nothing happens when TLS is already on.
    void StartTLS();
    // Whether the handshake has been completed on the current connection.
    bool Secured() const;
    // Whether the current connection resumed the session it was given (see MakeDataHandler).
    bool SessionReused() const;
    // A pass-through handler over a socket of its own for a second connection to the same
    // server: the same trust settings, verify host and pin, and the session of this handler's
    // connection to resume (FTP servers require their data connections to resume it). Its close
    // lingers up to 10 seconds until the server closes as well.
    std::unique_ptr<TIdSSLIOHandlerSocketOpenSSL> MakeDataHandler() const;

    // "AB:CD:..." in upper case for a pin text as SetCertificatePin accepts it.
    static std::string NormalizeFingerprint(const std::string& text);

    // Sends close_notify and reads away what the peer sent meanwhile (with a linger time, until
    // the peer closes too), then closes the transport. A socket closed with unread bytes
    // sends a reset, which makes the peer discard what it has not read yet: the end of an
    // uploaded file.
    void CloseEndpoint() override;
    void ConnectTo(const std::string& host, int port, int timeoutMs, const std::string& boundIP,
                   int boundPort) override;
    bool IsConnected() const override;
    void OpenEndpoint() override;
    bool WaitReadable(int timeoutMs) override;
    int ReceiveData(void* buffer, int count) override;
    int SendData(const void* buffer, int count) override;
    TIdSocketHandle* SocketEndpoint() const override;

    struct State;

private:
    std::unique_ptr<TIdIOHandler> ownTransport_;
    std::unique_ptr<State> state_;
};

}  // namespace velomaris
