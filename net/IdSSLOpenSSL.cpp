#include "net/IdSSLOpenSSL.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"

namespace velomaris {

namespace {

// A wait without limit, as the connection passes it to WaitReadable.
constexpr int kNoLimit = -2;
// One TLS record holds at most 16 KiB of data.
constexpr int kRecordBytes = 16384;
// How long the close of a data connection waits for the server to close its side.
constexpr int kDataConnectionLingerMs = 10000;

using SharedContext = std::shared_ptr<SSL_CTX>;
using SharedSession = std::shared_ptr<SSL_SESSION>;

std::string HexFingerprint(const unsigned char* digest, unsigned int length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 0x0F];
    }
    return text;
}

std::string CertificateFingerprint(X509* certificate) {
    if (certificate == nullptr) {
        return std::string();
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
        return std::string();
    }
    return HexFingerprint(digest, length);
}

// OpenSSL's reason for the oldest error queued on this thread (the queue is emptied).
std::string QueuedReason() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return std::string();
    }
    const char* reason = ERR_reason_error_string(code);
    return reason != nullptr ? reason : "error " + std::to_string(ERR_GET_REASON(code));
}

SharedContext MakeClientContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        const std::string reason = QueuedReason();
        throw EIdTLSError("TLS cannot be set up: " + reason, reason, std::string());
    }
    SharedContext shared(context, SSL_CTX_free);
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // OpenSSL's default paths, which SSL_CERT_FILE and SSL_CERT_DIR override. A trust store
    // that cannot be read leaves every certificate unverifiable, never accepted.
    SSL_CTX_set_default_verify_paths(context);
    // Many servers close without a close_notify; the close ends the stream as on a plain
    // connection, and the protocols above bound their messages themselves.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_AUTO_RETRY);
    return shared;
}

}  // namespace

struct TIdSSLIOHandlerSocketOpenSSL::State {
    TIdIOHandler* transport = nullptr;
    SharedContext context;
    bool passThrough = true;
    std::string verifyHost;
    std::string connectedHost;
    std::string pin;  // normalised, empty: none
    int handshakeTimeoutMs = 0;
    int lingerMs = 0;
    SharedSession resume;

    SSL* ssl = nullptr;
    bool secured = false;
    // Decrypted bytes that WaitReadable read ahead; ReceiveData hands them out first.
    std::string plain;
    std::size_t plainOffset = 0;
    bool peerClosed = false;
    // A fatal failure ended the TLS connection: OpenSSL must not be asked for its close.
    bool broken = false;
    int pendingSocketError = 0;

    // Set by the transport callbacks during one OpenSSL call.
    std::chrono::steady_clock::time_point deadline;
    bool limited = false;
    bool timedOut = false;
    int socketError = 0;
    std::exception_ptr failure;

    // Set by the verification callback during the handshake.
    std::string presentedFingerprint;
    int verifyError = X509_V_OK;
    bool pinAccepted = false;

    ~State() { FreeSession(); }

    void FreeSession() {
        if (ssl != nullptr) {
            SSL_free(ssl);
            ssl = nullptr;
        }
        secured = false;
        plain.clear();
        plainOffset = 0;
        peerClosed = false;
        broken = false;
        pendingSocketError = 0;
    }

    std::size_t Buffered() const { return plain.size() - plainOffset; }

    // Arms the limit of the transport waits of the next OpenSSL call.
    void BeginCall(int timeoutMs) {
        timedOut = false;
        socketError = 0;
        failure = nullptr;
        limited = timeoutMs >= 0;
        if (limited) {
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        }
    }

    int RemainingMs() const {
        if (!limited) {
            return kNoLimit;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

    // Rethrows what the transport raised inside the last OpenSSL call.
    void RethrowTransportFailure() {
        if (failure) {
            std::exception_ptr raised = failure;
            failure = nullptr;
            ERR_clear_error();
            std::rethrow_exception(raised);
        }
    }

    std::string HostName() const { return verifyHost.empty() ? connectedHost : verifyHost; }
};

namespace {

using State = TIdSSLIOHandlerSocketOpenSSL::State;

// --- the BIO that carries TLS records over the transport handler --------------------------

int TransportWrite(BIO* bio, const char* data, int length) {
    auto* state = static_cast<State*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
        const int sent = state->transport->SendData(data, length);
        if (sent < 0) {
            state->socketError = PendingSocketError();
        }
        return sent;
    } catch (...) {
        // Exceptions must not cross OpenSSL's C frames; the caller rethrows it afterwards.
        state->failure = std::current_exception();
        return -1;
    }
}

int TransportRead(BIO* bio, char* data, int length) {
    auto* state = static_cast<State*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
        if (!state->transport->WaitReadable(state->RemainingMs())) {
            state->timedOut = true;
            BIO_set_retry_read(bio);
            return -1;
        }
        const int received = state->transport->ReceiveData(data, length);
        if (received < 0) {
            state->socketError = PendingSocketError();
        }
        return received;
    } catch (...) {
        state->failure = std::current_exception();
        return -1;
    }
}

long TransportControl(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {
    // Every write goes out at once, so a flush has nothing left to do.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int TransportCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* TransportMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velomaris transport");
        BIO_meth_set_write(made, TransportWrite);
        BIO_meth_set_read(made, TransportRead);
        BIO_meth_set_ctrl(made, TransportControl);
        BIO_meth_set_create(made, TransportCreate);
        return made;
    }();
    return method;
}

// --- verification ------------------------------------------------------------------------

int StateIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// OpenSSL's verdict stands, except that a pinned fingerprint equal to the presented
// certificate's overrules a failure. The first failure is kept for the message.
int VerifyCertificate(int verdict, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* state = static_cast<State*>(SSL_get_ex_data(ssl, StateIndex()));
    state->presentedFingerprint = CertificateFingerprint(X509_STORE_CTX_get0_cert(store));
    if (verdict == 1) {
        return 1;
    }
    if (!state->pin.empty() && state->presentedFingerprint == state->pin) {
        state->pinAccepted = true;
        return 1;
    }
    if (state->verifyError == X509_V_OK) {
        state->verifyError = X509_STORE_CTX_get_error(store);
    }
    return 0;
}

// Reads away what has arrived (a session ticket the peer sent after the handshake, its own
// close_notify); with a linger time, first ends the sending side and reads until the peer
// closes or the time is up. Nothing here raises: the connection is being closed anyway.
void DrainBeforeClose(State& state) {
    try {
        TIdSocketHandle* endpoint = state.transport->SocketEndpoint();
        if (state.lingerMs > 0 && endpoint != nullptr) {
            ::shutdown(endpoint->Handle(), SHUT_WR);
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(state.lingerMs);
        char scratch[kRecordBytes];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (!state.transport->WaitReadable(left > 0 ? static_cast<int>(left) : 0) ||
                state.transport->ReceiveData(scratch, sizeof scratch) <= 0) {
                return;
            }
        }
    } catch (...) {
        // A transport that fails or is cancelled now has nothing more to give.
    }
}

[[noreturn]] void RaiseHandshakeFailure(State& state) {
    state.RethrowTransportFailure();
    const std::string host = state.HostName();
    const std::string fingerprint = state.presentedFingerprint;
    if (state.verifyError != X509_V_OK) {
        ERR_clear_error();
        const std::string reason = X509_verify_cert_error_string(state.verifyError);
        std::string message = "The certificate of " + host + " is not accepted: " + reason +
                              " (SHA-256 fingerprint " + fingerprint + ")";
        if (!state.pin.empty()) {
            message += "; it does not match the pinned fingerprint";
        }
        throw EIdTLSError(message, reason, fingerprint);
    }
    if (state.timedOut) {
        ERR_clear_error();
        throw EIdReadTimeout();
    }
    std::string reason = QueuedReason();
    if (reason.empty()) {
        if (state.socketError != 0) {
            SocketLayer()->ThrowSocketError(state.socketError);
        }
        reason = "the connection was closed during the handshake";
    }
    throw EIdTLSError("The TLS handshake with " + host + " failed: " + reason, reason, fingerprint);
}

}  // namespace

// --- the handler -----------------------------------------------------------------------------

TIdSSLIOHandlerSocketOpenSSL::TIdSSLIOHandlerSocketOpenSSL()
    : ownTransport_(std::make_unique<TIdIOHandlerSocket>()), state_(std::make_unique<State>()) {
    state_->transport = ownTransport_.get();
}

TIdSSLIOHandlerSocketOpenSSL::TIdSSLIOHandlerSocketOpenSSL(TIdIOHandler& transport)
    : state_(std::make_unique<State>()) {
    state_->transport = &transport;
}

TIdSSLIOHandlerSocketOpenSSL::~TIdSSLIOHandlerSocketOpenSSL() = default;

bool TIdSSLIOHandlerSocketOpenSSL::PassThrough() const {
    return state_->passThrough;
}

void TIdSSLIOHandlerSocketOpenSSL::SetPassThrough(bool value) {
    state_->passThrough = value;
}

void TIdSSLIOHandlerSocketOpenSSL::SetVerifyHost(const std::string& host) {
    state_->verifyHost = host;
}

void TIdSSLIOHandlerSocketOpenSSL::SetCertificatePin(const std::string& fingerprint) {
    state_->pin = fingerprint.empty() ? std::string() : NormalizeFingerprint(fingerprint);
}

void TIdSSLIOHandlerSocketOpenSSL::SetHandshakeTimeout(int milliseconds) {
    state_->handshakeTimeoutMs = milliseconds;
}

void TIdSSLIOHandlerSocketOpenSSL::SetLingerOnClose(int milliseconds) {
    state_->lingerMs = milliseconds;
}

std::string TIdSSLIOHandlerSocketOpenSSL::NormalizeFingerprint(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ':') {
            continue;
        }
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            digits.clear();
            break;
        }
        digits += c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (digits.size() != 64) {
        throw EIdTLSInvalidPin(
            "The certificate fingerprint must be 64 hexadecimal digits (SHA-256), colons "
            "allowed: " +
            text);
    }
    std::string normalised;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (i > 0) {
            normalised += ':';
        }
        normalised += digits.substr(i, 2);
    }
    return normalised;
}

bool TIdSSLIOHandlerSocketOpenSSL::Secured() const {
    return state_->secured;
}

bool TIdSSLIOHandlerSocketOpenSSL::SessionReused() const {
    return state_->secured && SSL_session_reused(state_->ssl) == 1;
}

std::unique_ptr<TIdSSLIOHandlerSocketOpenSSL> TIdSSLIOHandlerSocketOpenSSL::MakeDataHandler()
    const {
    auto data = std::make_unique<TIdSSLIOHandlerSocketOpenSSL>();
    data->state_->context = state_->context;  // a session resumes only in its own context
    data->state_->verifyHost = state_->HostName();
    data->state_->pin = state_->pin;
    data->state_->handshakeTimeoutMs = state_->handshakeTimeoutMs;
    data->state_->lingerMs = kDataConnectionLingerMs;
    if (state_->secured) {
        SSL_SESSION* session = SSL_get1_session(state_->ssl);
        if (session != nullptr) {
            data->state_->resume = SharedSession(session, SSL_SESSION_free);
        }
    }
    data->OnStatus = OnStatus;
    return data;
}

void TIdSSLIOHandlerSocketOpenSSL::StartTLS() {
    State& state = *state_;
    if (state.secured) {
        return;
    }
    if (!state.transport->IsConnected()) {
        throw EIdClosedSocket();
    }
    state.FreeSession();
    ERR_clear_error();
    // Made at the first handshake, so a handler that never meets https costs nothing, and
    // the trust store is read as the environment is then.
    if (!state.context) {
        state.context = MakeClientContext();
    }
    state.ssl = SSL_new(state.context.get());
    BIO* bio = state.ssl != nullptr ? BIO_new(TransportMethod()) : nullptr;
    if (bio == nullptr) {
        state.FreeSession();
        const std::string reason = QueuedReason();
        throw EIdTLSError("TLS cannot be set up: " + reason, reason, std::string());
    }
    BIO_set_data(bio, &state);
    SSL_set_bio(state.ssl, bio, bio);
    SSL_set_ex_data(state.ssl, StateIndex(), &state);

    const std::string host = state.HostName();
    // RFC 6066 section 3: the server name is a host name, never an address literal.
    if (IsDottedAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(state.ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(state.ssl, host.c_str());
        SSL_set1_host(state.ssl, host.c_str());
    }
    SSL_set_verify(state.ssl, SSL_VERIFY_PEER, VerifyCertificate);
    if (state.resume) {
        SSL_set_session(state.ssl, state.resume.get());
    }
    state.presentedFingerprint.clear();
    state.verifyError = X509_V_OK;
    state.pinAccepted = false;

    state.BeginCall(state.handshakeTimeoutMs > 0 ? state.handshakeTimeoutMs : kNoLimit);
    const int result = SSL_connect(state.ssl);
    try {
        if (result != 1) {
            RaiseHandshakeFailure(state);
        }
        // The verdict is checked once more here, so no path can leave it unchecked. A resumed
        // session is one this process accepted on an earlier connection (MakeDataHandler),
        // and only the server that holds it could resume it.
        X509* peer = SSL_get0_peer_certificate(state.ssl);
        if (peer == nullptr) {
            throw EIdTLSError("The TLS peer " + host + " presented no certificate",
                              "no certificate", std::string());
        }
        const std::string fingerprint = CertificateFingerprint(peer);
        const bool resumed = state.resume && SSL_session_reused(state.ssl) == 1;
        if (!resumed && SSL_get_verify_result(state.ssl) != X509_V_OK &&
            !(state.pinAccepted && fingerprint == state.pin)) {
            throw EIdTLSError("The certificate of " + host + " is not accepted", "not verified",
                              fingerprint);
        }
    } catch (...) {
        state.FreeSession();
        throw;
    }
    state.secured = true;
}

void TIdSSLIOHandlerSocketOpenSSL::CloseEndpoint() {
    State& state = *state_;
    if (state.secured && !state.peerClosed && !state.broken && state.transport->IsConnected()) {
        // close_notify tells the peer the stream ended here and was not cut (an FTP server
        // takes it as the end of an uploaded file). A failure changes nothing now.
        state.BeginCall(0);
        SSL_shutdown(state.ssl);
        state.failure = nullptr;
        ERR_clear_error();
        DrainBeforeClose(state);
    }
    state.FreeSession();
    state.transport->CloseEndpoint();
}

void TIdSSLIOHandlerSocketOpenSSL::ConnectTo(const std::string& host, int port, int timeoutMs,
                                             const std::string& boundIP, int boundPort) {
    state_->FreeSession();
    state_->connectedHost = host;
    if (ownTransport_) {
        ownTransport_->OnStatus = OnStatus;  // a transport of the caller keeps its own
    }
    state_->transport->ConnectTo(host, port, timeoutMs, boundIP, boundPort);
    if (!state_->passThrough) {
        StartTLS();
    }
}

bool TIdSSLIOHandlerSocketOpenSSL::IsConnected() const {
    return state_->transport->IsConnected();
}

void TIdSSLIOHandlerSocketOpenSSL::OpenEndpoint() {
    state_->FreeSession();
    state_->transport->OpenEndpoint();
}

bool TIdSSLIOHandlerSocketOpenSSL::WaitReadable(int timeoutMs) {
    State& state = *state_;
    if (!state.secured) {
        return state.transport->WaitReadable(timeoutMs);
    }
    if (state.Buffered() > 0 || state.peerClosed || state.pendingSocketError != 0) {
        return true;
    }
    // A readable socket may carry only a record without data (a session ticket), so the wait
    // is over only when data, the close or a failure came, within the one time limit.
    char record[kRecordBytes];
    std::size_t got = 0;
    ERR_clear_error();
    state.BeginCall(timeoutMs);
    const int result = SSL_read_ex(state.ssl, record, sizeof record, &got);
    if (result == 1) {
        state.plain.assign(record, got);
        state.plainOffset = 0;
        return true;
    }
    switch (SSL_get_error(state.ssl, result)) {
        case SSL_ERROR_ZERO_RETURN:
            state.peerClosed = true;
            return true;
        case SSL_ERROR_WANT_READ:
            return false;
        case SSL_ERROR_SYSCALL:
            state.broken = true;
            state.RethrowTransportFailure();
            if (state.socketError != 0) {
                state.pendingSocketError = state.socketError;
            } else {
                state.peerClosed = true;
            }
            return true;
        default: {
            state.broken = true;
            state.RethrowTransportFailure();
            const std::string reason = QueuedReason();
            throw EIdTLSError("TLS data from " + state.HostName() + " cannot be read: " + reason,
                              reason, std::string());
        }
    }
}

int TIdSSLIOHandlerSocketOpenSSL::ReceiveData(void* buffer, int count) {
    State& state = *state_;
    if (!state.secured) {
        return state.transport->ReceiveData(buffer, count);
    }
    if (!state.transport->IsConnected()) {
        throw EIdClosedSocket();
    }
    if (state.Buffered() == 0 && !state.peerClosed && state.pendingSocketError == 0) {
        WaitReadable(kNoLimit);
    }
    if (state.Buffered() > 0) {
        const std::size_t k = std::min(state.Buffered(), static_cast<std::size_t>(count));
        std::memcpy(buffer, state.plain.data() + state.plainOffset, k);
        state.plainOffset += k;
        return static_cast<int>(k);
    }
    if (state.pendingSocketError != 0) {
        SetPendingSocketError(state.pendingSocketError);
        state.pendingSocketError = 0;
        return -1;
    }
    return 0;
}

int TIdSSLIOHandlerSocketOpenSSL::SendData(const void* buffer, int count) {
    State& state = *state_;
    if (!state.secured) {
        return state.transport->SendData(buffer, count);
    }
    if (!state.transport->IsConnected()) {
        throw EIdClosedSocket();
    }
    std::size_t written = 0;
    ERR_clear_error();
    state.BeginCall(kNoLimit);
    if (SSL_write_ex(state.ssl, buffer, static_cast<std::size_t>(count), &written) == 1) {
        return static_cast<int>(written);
    }
    state.broken = true;
    state.RethrowTransportFailure();
    if (state.socketError != 0) {
        SetPendingSocketError(state.socketError);
        return -1;
    }
    const std::string reason = QueuedReason();
    throw EIdTLSError("TLS data to " + state.HostName() + " cannot be written: " + reason, reason,
                      std::string());
}

TIdSocketHandle* TIdSSLIOHandlerSocketOpenSSL::SocketEndpoint() const {
    return state_->transport->SocketEndpoint();
}

}  // namespace velomaris
