#include "net/IdFTP.h"

#include <algorithm>

#include "net/IdWait.h"
#include "net/NetworkLimits.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// A CR or LF ends a command line (RFC 959 section 4.1.3: <CRLF> terminates every command) and
// a NUL is never valid in one, so a value holding either could inject a second command.
void RequireSingleLine(const std::string& value, const char* what) {
    if (HoldsLineBreakOrNul(value)) {
        throw EIdFTPInvalidArgument(std::string("The ") + what +
                                    " contains a line break or NUL byte.");
    }
}

}  // namespace

TIdFTP::TIdFTP() {
    SetPort(kDefaultPort);
}

TIdFTP::~TIdFTP() = default;

void TIdFTP::SetTransferType(TIdFTPTransferType value) {
    if (value == transferType_) {
        return;
    }
    if (dataConnection_) {
        throw EIdException("The transfer type cannot change during a transfer.");
    }
    transferType_ = value;
    if (IsConnected()) {
        SendTypeCommand();
    }
}

void TIdFTP::ConnectAndLogin(bool autoLogin, int timeoutMs) {
    const TIdOperationDeadline deadline(LoginTimeout);
    const std::string savedHost = Host();
    const int savedPort = Port();
    try {
        if (autoLogin) {
            RequireSingleLine(username_, "user name");
            RequireSingleLine(password_, "password");
            if (proxySettings_.ProxyType != TIdFtpProxyType::fpcmNone) {
                RequireSingleLine(proxySettings_.UserName, "proxy user name");
                RequireSingleLine(proxySettings_.Password, "proxy password");
                RequireSingleLine(savedHost, "host name");
            }
        }
        if (proxySettings_.ProxyType != TIdFtpProxyType::fpcmNone && !proxySettings_.Host.empty()) {
            SetHost(proxySettings_.Host);
            SetPort(proxySettings_.Port);
        }
        if (useTLS_ && ControlTLS() == nullptr && (IOHandler() == nullptr || OwnsIOHandler())) {
            DestroyOwnedIOHandler();
            AdoptIOHandler(std::make_unique<TIdSSLIOHandlerSocketOpenSSL>());
        }
        if (TIdSSLIOHandlerSocketOpenSSL* secure = ControlTLS()) {
            secure->SetPassThrough(true);  // plain until the server agreed to AUTH TLS
            secure->SetCertificatePin(certificatePin_);
        }
        try {
            OpenConnection(timeoutMs);
        } catch (...) {
            SetHost(savedHost);
            SetPort(savedPort);
            throw;
        }
        SetHost(savedHost);
        SetPort(savedPort);

        ReadReply({220});
        WelcomeReply().Assign(LastReply());
        if (useTLS_) {
            SecureControlConnection();
        }
        if (autoLogin) {
            SendLogin();
            if (useTLS_) {
                ProtectDataConnections();
            }
            if (OnAfterClientLogin) {
                OnAfterClientLogin(this);
            }
            SendTypeCommand();
            // RFC 959 section 4.2: 500 means the server does not know SYST at all.
            if (SendCommand("SYST", {200, 215, 500}) == 500) {
                serverSystem_ = "Unknown";
            } else {
                serverSystem_ = LastReply().Text.empty() ? std::string() : LastReply().Text[0];
            }
            ReportStatus(TIdStatus::ftpReady, "Connection established");
        }
    } catch (...) {
        CloseConnection();
        throw;
    }
}

void TIdFTP::SecureControlConnection() {
    TIdSSLIOHandlerSocketOpenSSL* secure = ControlTLS();
    if (secure == nullptr) {
        throw EIdTLSError("The FTP connection has no TLS transport", "no TLS transport",
                          std::string());
    }
    secure->SetHandshakeTimeout(ReadTimeout());
    // RFC 4217 section 4: 234 accepts; anything else leaves the connection in plain text,
    // which must not carry the password.
    const std::int16_t code = SendCommand("AUTH TLS", -1);
    if (code != 234) {
        const TIdRFCReply& last = LastReply();
        const std::string reply = last.TextCode() + (last.Text.empty() ? "" : " " + last.Text[0]);
        throw EIdTLSError("The FTP server refused TLS (AUTH TLS: " + reply + ")",
                          "AUTH TLS refused", std::string());
    }
    secure->StartTLS();
}

void TIdFTP::ProtectDataConnections() {
    // RFC 4217 section 9: PBSZ 0 must come before PROT, P asks for TLS on data connections.
    SendCommand("PBSZ 0", {200});
    SendCommand("PROT P", {200});
}

void TIdFTP::LoginAs(const std::string& user, const std::string& password) {
    if (SendCommand("USER " + user, {230, 331}) == 331) {
        SendCommand("PASS " + password, {230});
    }
}

void TIdFTP::ProxyLogin() {
    if (!proxySettings_.UserName.empty()) {
        LoginAs(proxySettings_.UserName, proxySettings_.Password);
    }
}

void TIdFTP::SendLogin() {
    RequireSingleLine(username_, "user name");
    RequireSingleLine(password_, "password");
    switch (proxySettings_.ProxyType) {
        case TIdFtpProxyType::fpcmNone:
            LoginAs(username_, password_);
            break;
        case TIdFtpProxyType::fpcmUserSite:
            ProxyLogin();
            LoginAs(username_ + "@" + Host(), password_);
            break;
        case TIdFtpProxyType::fpcmSite:
            ProxyLogin();
            SendCommand("SITE " + Host(), -1);
            LoginAs(username_, password_);
            break;
        case TIdFtpProxyType::fpcmOpen:
            ProxyLogin();
            SendCommand("OPEN " + Host(), -1);
            LoginAs(username_, password_);
            break;
        case TIdFtpProxyType::fpcmUserPass:
            if (SendCommand("USER " + username_ + "@" + proxySettings_.UserName + "@" + Host(),
                            {230, 331}) == 331) {
                SendCommand(proxySettings_.Password.empty()
                                ? "PASS " + password_
                                : "PASS " + password_ + "@" + proxySettings_.Password,
                            {230});
            }
            break;
        case TIdFtpProxyType::fpcmTransparent:
            ProxyLogin();
            LoginAs(username_, password_);
            break;
        case TIdFtpProxyType::fpcmHttpProxyWithFtp:
            throw EIdException("Command not supported.");
    }
    loginReply_.Assign(LastReply());
}

void TIdFTP::SendTypeCommand() {
    SendCommand(transferType_ == TIdFTPTransferType::ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TIdFTP::ChangeDirectory(const std::string& directory) {
    RequireSingleLine(directory, "directory");
    const TIdOperationDeadline deadline(LoginTimeout);
    SendCommand("CWD " + directory, {200, 250});
}

void TIdFTP::StoreFile(const std::string& localPath, const std::string& remoteName, bool append) {
    RequireSingleLine(remoteName, "remote file name");
    TFileStream file(localPath, TFileMode::fmOpenRead);
    StoreStream(file, remoteName, append);
}

void TIdFTP::StoreStream(TStream& stream, const std::string& remoteName, bool append) {
    RequireSingleLine(remoteName, "remote file name");
    std::string command;
    if (remoteName.empty()) {
        command = "STOU " + remoteName;  // the server chooses the name
    } else if (append) {
        command = "APPE " + remoteName;
    } else {
        command = "STOR " + remoteName;
    }
    const TIdOperationDeadline deadline(
        UploadTimeout > 0
            ? limits::UploadDeadlineMs(UploadTimeout, UploadMinBytesPerSecond, stream.Size())
            : 0);
    TransferOut(command, stream);
}

void TIdFTP::TransferOut(const std::string& command, TStream& stream) {
    RequireSingleLine(command, "command");
    ReportStatus(TIdStatus::ftpTransfer, "Starting FTP transfer");
    transferCommandSent_ = false;
    try {
        if (passive_) {
            TransferOutPassive(command, stream);
        } else {
            TransferOutActive(command, stream);
        }
    } catch (const EIdSocketError&) {
        // The data connection failed (reset, closed, refused) after the command went out: the
        // server still answers it on the control connection, and that answer must not be
        // taken for the reply to the next command.
        if (transferCommandSent_) {
            ReadReplyOfBrokenTransfer();
        }
        throw;
    }
    ReadTransferReply();
}

void TIdFTP::ReadReplyOfBrokenTransfer() {
    const std::int32_t savedTimeout = ReadTimeout();
    if (savedTimeout == 0 || savedTimeout > kBrokenTransferReplyWait) {
        SetReadTimeout(kBrokenTransferReplyWait);
    }
    try {
        ReadReply({});
    } catch (const EIdException&) {
        // No answer, or the control connection failed too: the caller reports the data
        // connection's failure, which came first.
    }
    SetReadTimeout(savedTimeout);
}

void TIdFTP::TransferOutActive(const std::string& command, TStream& stream) {
    try {
        auto listener = std::make_unique<TIdSimpleServer>();
        TIdSimpleServer& server = *listener;
        dataConnection_ = std::move(listener);
        CopyDataSettings(server);
        server.SetAcceptTimeout(dataConnectTimeout_);
        TIdSocketHandle* control = ControlEndpoint();
        server.SetBoundIP(control != nullptr ? control->IP : std::string());
        // The file goes only to the server the control connection talks to, not to whoever
        // connects to the announced port first.
        server.SetAllowedPeerIP(control != nullptr ? control->RemoteAddress : std::string());
        if (TIdIOHandler* handler = PrepareDataHandler()) {
            handler->OpenEndpoint();
            server.SetIOHandler(handler);
        }
        server.StartListening();
        SendPortCommand(*server.Endpoint());
        SendCommand(command, {125, 150});
        transferCommandSent_ = true;
        server.AcceptConnection();
        SecureDataConnection();
        server.WriteFromStream(stream, true, false, 0);
    } catch (...) {
        dataConnection_.reset();  // closes the listener or the data connection
        dataTLS_.reset();
        ReportStatus(TIdStatus::ftpReady, "Transfer complete");
        throw;
    }
    // Closing the data connection (its sending side first) tells the server the file ended.
    dataConnection_.reset();
    dataTLS_.reset();
    ReportStatus(TIdStatus::ftpReady, "Transfer complete");
}

void TIdFTP::TransferOutPassive(const std::string& command, TStream& stream) {
    try {
        auto [address, port] = RequestPassiveAddress();
        // A server behind NAT may announce its private address, and a reply must not steer
        // the data connection to a third host: connect to the control connection's peer.
        TIdSocketHandle* control = ControlEndpoint();
        if (control != nullptr && !control->RemoteAddress.empty()) {
            address = control->RemoteAddress;
        }
        WriteLine(command);  // its reply comes once the data connection is open
        transferCommandSent_ = true;
        auto client = std::make_unique<TIdTCPClient>();
        TIdTCPClient& data = *client;
        dataConnection_ = std::move(client);
        CopyDataSettings(data);
        data.SetIOHandler(PrepareDataHandler());
        data.SetHost(address);
        data.SetPort(port);
        data.OpenConnection(-1);
        ReadReply({110, 125, 150});
        SecureDataConnection();
        try {
            data.WriteFromStream(stream, false, false, 0);
        } catch (const EIdSocketError& e) {
            if (e.ErrorCode() != kWsaeNotSock) {
                throw;
            }
        }
        data.CloseConnection();
    } catch (...) {
        dataConnection_.reset();
        dataTLS_.reset();
        ReportStatus(TIdStatus::ftpReady, "Transfer complete");
        throw;
    }
    dataConnection_.reset();
    dataTLS_.reset();
    ReportStatus(TIdStatus::ftpReady, "Transfer complete");
}

void TIdFTP::ReadTransferReply() {
    const std::int16_t code = ReadReply({225, 226, 250, 426, 450});
    if (code == 426 || code == 450) {
        // The server reports the data connection's end as aborted, then confirms the transfer.
        ReadReply({226, 225});
        ReportStatus(TIdStatus::ftpAborted, "Transfer aborted");
    }
}

void TIdFTP::SendPortCommand(const TIdSocketHandle& handle) {
    SendCommand(FormatPortCommand(handle.IP, handle.Port), {200});
}

std::string TIdFTP::FormatPortCommand(const std::string& ip, int port) {
    std::string address = ip;
    std::replace(address.begin(), address.end(), '.', ',');
    return "PORT " + address + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::pair<std::string, int> TIdFTP::RequestPassiveAddress() {
    SendCommand("PASV", {227});
    return ParsePassiveReply(LastReply().Text.empty() ? std::string() : LastReply().Text[0]);
}

std::pair<std::string, int> TIdFTP::ParsePassiveReply(const std::string& replyText) {
    const std::string text = Trim(replyText);
    std::string inner;
    const std::size_t open = text.find('(');
    const std::size_t close = text.find(')');
    if (open != std::string::npos && close != std::string::npos) {
        inner = open < close ? text.substr(open + 1, close - open - 1) : std::string();
    } else {
        const std::size_t blank = text.rfind(' ');
        inner = blank == std::string::npos ? text : text.substr(blank + 1);
    }
    std::vector<std::int32_t> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = inner.find(',', start);
        fields.push_back(StrToInt(inner.substr(start, comma - start)));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    // Six byte values, no more: a value over 255 must not wrap into another port or address.
    if (fields.size() != 6 ||
        std::any_of(fields.begin(), fields.end(), [](int v) { return v < 0 || v > 255; })) {
        throw EIdException("Invalid passive mode reply: " + text);
    }
    const std::string address = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
                                std::to_string(fields[2]) + "." + std::to_string(fields[3]);
    return {address, fields[4] * 256 + fields[5]};
}

void TIdFTP::CopyDataSettings(TIdTCPConnection& data) const {
    data.SetSendBufferSize(SendBufferSize());
    data.SetRecvBufferSize(RecvBufferSize());
    data.OnWork = OnWork;
    data.OnWorkBegin = OnWorkBegin;
    data.OnWorkEnd = OnWorkEnd;
}

TIdSocketHandle* TIdFTP::ControlEndpoint() const {
    return IOHandler() != nullptr ? IOHandler()->SocketEndpoint() : nullptr;
}

TIdSSLIOHandlerSocketOpenSSL* TIdFTP::ControlTLS() const {
    return dynamic_cast<TIdSSLIOHandlerSocketOpenSSL*>(IOHandler());
}

TIdIOHandler* TIdFTP::PrepareDataHandler() {
    dataTLS_.reset();
    if (!useTLS_) {
        return nullptr;
    }
    TIdSSLIOHandlerSocketOpenSSL* control = ControlTLS();
    if (control == nullptr || !control->Secured()) {
        throw EIdTLSError("The FTP control connection is not secured", "not secured",
                          std::string());
    }
    dataTLS_ = control->MakeDataHandler();
    return dataTLS_.get();
}

void TIdFTP::SecureDataConnection() {
    if (dataTLS_) {
        dataTLS_->StartTLS();
    }
}

}  // namespace velomaris
