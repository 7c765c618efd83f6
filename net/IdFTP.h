// The FTP client (RFC 959): a control connection that logs in, changes directory and uploads
// files over active (PORT) or passive (PASV) data connections; on request with explicit TLS
// (RFC 4217) on the control connection and on every data connection.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "net/IdSSLOpenSSL.h"
#include "net/IdSimpleServer.h"
#include "net/IdTCPClient.h"

namespace velomaris {

enum class TIdFTPTransferType { ftASCII, ftBinary };

enum class TIdFtpProxyType {
    fpcmNone,
    fpcmUserSite,
    fpcmSite,
    fpcmOpen,
    fpcmUserPass,
    fpcmTransparent,
    fpcmHttpProxyWithFtp,
};

struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
    std::string Host;
    std::string UserName;
    std::string Password;
    int Port = 0;
};

// A setting or name that would end the command line early (CR, LF or NUL) and so smuggle a
// second command to the server.
class EIdFTPInvalidArgument : public EIdException {
public:
    using EIdException::EIdException;
};

class TIdFTP : public TIdTCPClient {
public:
    static constexpr int kDefaultPort = 21;
    // How long the answer to a transfer whose data connection broke is waited for (ms).
    static constexpr int kBrokenTransferReplyWait = 10000;

    TIdFTP();
    ~TIdFTP() override;

    const std::string& Username() const { return username_; }
    void SetUsername(const std::string& value) { username_ = value; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { password_ = value; }
    bool Passive() const { return passive_; }
    void SetPassive(bool value) { passive_ = value; }
    TIdFTPTransferType TransferType() const { return transferType_; }
    // Sends TYPE at once when connected; refused (EIdException) during a transfer.
    void SetTransferType(TIdFTPTransferType value);
    TIdFtpProxySettings& ProxySettings() { return proxySettings_; }
    // How long an active transfer waits for the server's data connection (ms; 0: no limit).
    int DataConnectTimeout() const { return dataConnectTimeout_; }
    void SetDataConnectTimeout(int milliseconds) { dataConnectTimeout_ = milliseconds; }
    // Overall bounds (ms; 0, the default: none) on top of the per-read limit: one for
    // ConnectAndLogin and, separately, for ChangeDirectory; one for an upload, which also
    // gets the time its size needs at UploadMinBytesPerSecond. A bound that passes raises
    // EIdOperationTimeout (net/IdWait.h).
    std::int32_t LoginTimeout = 0;
    std::int32_t UploadTimeout = 0;
    std::int64_t UploadMinBytesPerSecond = 0;
    // Off (the default): plain FTP. On: AUTH TLS right after the greeting, PBSZ 0 and PROT P
    // after the login, and TLS on every data connection; a server that refuses TLS fails the
    // login (EIdTLSError), nothing is ever sent in plain text instead.
    bool UseTLS() const { return useTLS_; }
    void SetUseTLS(bool value) { useTLS_ = value; }
    // The SHA-256 fingerprint accepted for a server certificate the trust store does not vouch
    // for (see TIdSSLIOHandlerSocketOpenSSL::SetCertificatePin); empty: none.
    const std::string& CertificatePin() const { return certificatePin_; }
    void SetCertificatePin(const std::string& fingerprint) { certificatePin_ = fingerprint; }
    TNotifyEvent OnAfterClientLogin;

    TIdRFCReply& LoginReply() { return loginReply_; }
    const std::string& ServerSystem() const { return serverSystem_; }
    // The connection of a running transfer, none otherwise.
    TIdTCPConnection* DataConnection() const { return dataConnection_.get(); }

    // Connects, reads the 220 greeting and, with autoLogin, logs in, sets the transfer type
    // and asks for the system type. Any failure closes the connection and propagates; Host
    // and Port keep the values they had before the call.
    void ConnectAndLogin(bool autoLogin = true, int timeoutMs = -1);
    // AUTH TLS and the handshake on the control connection (UseTLS).
    void SecureControlConnection();
    // PBSZ 0 and PROT P: data connections in TLS from now on (UseTLS, after the login).
    void ProtectDataConnections();
    void SendLogin();
    void SendTypeCommand();
    // CWD with the directory unchanged (an empty one sends "CWD " and gets the server's no).
    void ChangeDirectory(const std::string& directory);

    // Uploads the local file (GBK path) under the remote name: STOR, APPE with append, STOU
    // with an empty name. Raises on every failure; nothing is retried.
    void StoreFile(const std::string& localPath, const std::string& remoteName, bool append);
    void StoreStream(TStream& stream, const std::string& remoteName, bool append);
    void TransferOut(const std::string& command, TStream& stream);
    void SendPortCommand(const TIdSocketHandle& handle);
    std::pair<std::string, int> RequestPassiveAddress();

    // "PORT h1,h2,h3,h4,p1,p2" for a local address and port.
    static std::string FormatPortCommand(const std::string& ip, int port);
    // The address and port of a 227 reply text, "(h1,h2,h3,h4,p1,p2)" or the text after its
    // last blank. A field that is not a number raises EConvertError; a reply that does not
    // hold six fields from 0 to 255 raises EIdException.
    static std::pair<std::string, int> ParsePassiveReply(const std::string& text);

private:
    void LoginAs(const std::string& user, const std::string& password);
    void ProxyLogin();
    void CopyDataSettings(TIdTCPConnection& data) const;
    void TransferOutActive(const std::string& command, TStream& stream);
    void TransferOutPassive(const std::string& command, TStream& stream);
    void ReadTransferReply();
    // After a data connection broke: reads the server's answer to the transfer command (426,
    // 425, ...) so the next command meets its own reply, waiting at most
    // kBrokenTransferReplyWait. Failing to read it changes nothing: the data connection's
    // failure is the one that is reported.
    void ReadReplyOfBrokenTransfer();
    // The control connection's socket handle (its local and remote address).
    TIdSocketHandle* ControlEndpoint() const;
    // The control connection's TLS handler, none when it has none.
    TIdSSLIOHandlerSocketOpenSSL* ControlTLS() const;
    // The IO handler of the next data connection: TLS resuming the control connection's
    // session when UseTLS, none (a plain socket) otherwise.
    TIdIOHandler* PrepareDataHandler();
    // After the server confirmed the transfer command: the handshake on the data connection.
    void SecureDataConnection();

    std::string username_;
    std::string password_;
    bool passive_ = false;
    TIdFTPTransferType transferType_ = TIdFTPTransferType::ftBinary;
    TIdFtpProxySettings proxySettings_;
    int dataConnectTimeout_ = TIdSimpleServer::kDefaultAcceptTimeout;
    TIdRFCReply loginReply_;
    std::string serverSystem_;
    bool useTLS_ = false;
    std::string certificatePin_;
    // Declared before the data connection, which uses it until its own destruction.
    std::unique_ptr<TIdSSLIOHandlerSocketOpenSSL> dataTLS_;
    std::unique_ptr<TIdTCPConnection> dataConnection_;
    // The transfer command has gone out, so the server owes it a final answer.
    bool transferCommandSent_ = false;
};

}  // namespace velomaris
