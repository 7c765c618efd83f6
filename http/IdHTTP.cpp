#include "http/IdHTTP.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "http/IdContentCoding.h"
#include "net/IdSSLOpenSSL.h"
#include "net/IdStack.h"
#include "net/IdWait.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// The body goes through this stream so that no response can grow it beyond the limit, whatever
// its framing (RFC 9112 section 6.3 leaves a close-delimited body unbounded).
class BoundedBodyStream : public TStream {
public:
    BoundedBodyStream(TStream& target, std::int64_t limit)
        : target_(target), start_(target.Position()), limit_(limit) {}

    std::int64_t Size() const override { return target_.Size(); }
    void SetSize(std::int64_t size) override { target_.SetSize(size); }
    std::int64_t Position() const override { return target_.Position(); }
    void SetPosition(std::int64_t position) override { target_.SetPosition(position); }
    void Reserve(std::int64_t capacity) override {
        target_.Reserve(std::min(capacity, start_ + limit_));
    }
    std::int64_t Read(void* buffer, std::int64_t count) override {
        return target_.Read(buffer, count);
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        if (target_.Position() + count - start_ > limit_) {
            throw EIdHTTPResponseTooLarge("The response body is larger than " +
                                          std::to_string(limit_) + " bytes");
        }
        return target_.Write(buffer, count);
    }

private:
    TStream& target_;
    std::int64_t start_;
    std::int64_t limit_;
};

// Restores the response's body stream and the read time-out when it goes.
class ScopedBodyRead {
public:
    ScopedBodyRead(TIdCustomHTTP& client, TStream* body, std::int32_t readTimeout)
        : client_(client),
          savedBody_(client.Response().BodyStream),
          savedTimeout_(client.ReadTimeout()) {
        client_.Response().BodyStream = body;
        client_.SetReadTimeout(readTimeout);
    }
    ~ScopedBodyRead() {
        client_.Response().BodyStream = savedBody_;
        client_.SetReadTimeout(savedTimeout_);
    }
    ScopedBodyRead(const ScopedBodyRead&) = delete;
    ScopedBodyRead& operator=(const ScopedBodyRead&) = delete;

private:
    TIdCustomHTTP& client_;
    TStream* savedBody_;
    std::int32_t savedTimeout_;
};

const char* MethodWord(TIdHTTPMethod method) {
    switch (method) {
        case TIdHTTPMethod::hmHead:
            return "HEAD ";
        case TIdHTTPMethod::hmGet:
            return "GET ";
        case TIdHTTPMethod::hmPost:
            return "POST ";
        case TIdHTTPMethod::hmOptions:
            return "OPTIONS ";
        case TIdHTTPMethod::hmTrace:
            return "TRACE ";
        case TIdHTTPMethod::hmPut:
            return "PUT ";
        case TIdHTTPMethod::hmDelete:
            return "DELETE ";
        case TIdHTTPMethod::hmConnect:
            return "CONNECT ";
    }
    return "GET ";
}

}  // namespace

TIdCustomHTTP::TIdCustomHTTP() : protocol_(this) {
    SetPort(80);
    SetMaxLineAction(TIdMaxLineAction::maException);
    SetReadTimeout(0);
}

TIdCustomHTTP::~TIdCustomHTTP() = default;

void TIdCustomHTTP::SetHost(const std::string& host) {
    TIdTCPClient::SetHost(host);
    currentAddress_.Host = host;
}

void TIdCustomHTTP::SetPort(std::int32_t port) {
    TIdTCPClient::SetPort(port);
    currentAddress_.Port = std::to_string(port);
}

void TIdCustomHTTP::NotifyDisconnected() {
    TIdTCPClient::NotifyDisconnected();
    DisconnectHook();
}

void TIdCustomHTTP::GetToStream(const std::string& url, TStream& stream) {
    ExecuteRequest(TIdHTTPMethod::hmGet, url, &stream, nullptr);
}

void TIdCustomHTTP::ExecuteRequest(TIdHTTPMethod method, const std::string& url,
                                   TStream* bodyStream, TStream* sourceStream) {
    TIdHTTPRequest& request = Request();
    const std::int64_t startPosition = bodyStream != nullptr ? bodyStream->Position() : 0;
    serverChallengeCount_ = 0;
    proxyChallengeCount_ = 0;
    request.RequestURL = url;
    request.Method = method;
    request.SourceStream = sourceStream;
    Response().BodyStream = bodyStream;
    const TIdOperationDeadline deadline(OperationTimeout);
    try {
        for (bool again = true; again;) {
            ++redirectCount_;
            PrepareRequest();
            SendAndReadResponseHead();
            switch (ProcessResponse()) {
                case Outcome::Done:
                    again = false;
                    break;
                case Outcome::GoAgain:
                    // What this pass wrote belongs to a response that was not the final one.
                    if (bodyStream != nullptr) {
                        bodyStream->SetSize(startPosition);
                        bodyStream->SetPosition(startPosition);
                    }
                    serverChallengeCount_ = 0;
                    proxyChallengeCount_ = 0;
                    break;
                case Outcome::RetryWithCredentials:
                    --redirectCount_;
                    request.RequestURL = url;
                    break;
                case Outcome::Undefined:
                    throw EIdException("Undefined situation");
            }
        }
    } catch (...) {
        // A response left half read would be taken for the start of the next one: its
        // connection is closed whatever the headers allowed.
        if (!KeepAliveDecision() || responsePending_) {
            CloseConnection();
        }
        throw;
    }
    if (!KeepAliveDecision()) {
        CloseConnection();
    }
    redirectCount_ = 0;
}

void TIdCustomHTTP::ResolveTarget() {
    ResolveRequestTarget(currentAddress_, Request());
}

void TIdCustomHTTP::PrepareRequest() {
    TIdHTTPRequest& request = Request();
    ResolveTarget();
    const TIdHTTPMethod method = request.Method;
    if (ProtocolVersion == TIdHTTPProtocolVersion::pv1_0 &&
        (method == TIdHTTPMethod::hmOptions || method == TIdHTTPMethod::hmTrace ||
         method == TIdHTTPMethod::hmPut || method == TIdHTTPMethod::hmDelete)) {
        throw EIdException("This request method is supported in HTTP 1.1");
    }
    if ((method == TIdHTTPMethod::hmPost || method == TIdHTTPMethod::hmPut) &&
        request.SourceStream != nullptr) {
        const std::int64_t size = request.SourceStream->Size();
        if (size > INT32_MAX) {
            throw EIdException("The request body is too large to send");
        }
        request.SetContentLength(static_cast<std::int32_t>(size));
    } else {
        request.SetContentLength(-1);
    }
}

namespace {

// RFC 9110 section 9.2.2: only these may be sent again without the user's say.
bool IsIdempotent(TIdHTTPMethod method) {
    return method != TIdHTTPMethod::hmPost && method != TIdHTTPMethod::hmConnect;
}

// The failures by which a kept-open connection shows that the server had already given it up.
bool IsStaleConnectionFailure(const std::exception& error) {
    if (dynamic_cast<const EIdConnClosedGracefully*>(&error) != nullptr ||
        dynamic_cast<const EIdNotConnected*>(&error) != nullptr) {
        return true;
    }
    const auto* socketError = dynamic_cast<const EIdSocketError*>(&error);
    return socketError != nullptr && (socketError->ErrorCode() == kWsaeConnReset ||
                                      socketError->ErrorCode() == kWsaeConnAborted ||
                                      socketError->ErrorCode() == kWsaeShutdown);
}

}  // namespace

void TIdCustomHTTP::SendAndReadResponseHead() {
    std::string statusLine;
    try {
        ConnectAndSend();
        statusLine = ReadLine();
    } catch (const EIdException& error) {
        // A server may close an idle kept-open connection at any moment (RFC 9112 section
        // 9.5); when that happened before a byte of the answer came, the request was never
        // served and goes once more on a new connection.
        if (!reusedConnection_ || !PendingInput().Empty() || !IsIdempotent(Request().Method) ||
            !IsStaleConnectionFailure(error)) {
            throw;
        }
        CloseConnection();
        ConnectAndSend();
        statusLine = ReadLine();
    }
    ReadResponseHead(std::move(statusLine));
}

void TIdCustomHTTP::ConnectAndSend() {
    TIdHTTPRequest& request = Request();
    const std::int32_t port = StrToInt(currentAddress_.Port);
    if (!SameTextAscii(Host(), currentAddress_.Host) || Port() != port) {
        if (IsConnected()) {
            CloseConnection();
        }
        const std::string host = currentAddress_.Host;
        SetHost(host);
        SetPort(port);
    }
    SelectTransport(SameTextAscii(currentAddress_.Protocol, "https"));
    request.ConnectionKind = TIdHTTPConnectionType::ctNormal;
    if (ProtocolVersion == TIdHTTPProtocolVersion::pv1_0 && request.Connection.empty()) {
        request.Connection = "keep-alive";
    }

    // The previous response decides whether its connection may carry this request; a close
    // by the server since then is noticed by a short probe, and the connection reopened.
    if (!KeepAliveDecision()) {
        CloseConnection();
    }
    // A reset that the probe meets shows a stale connection just as a failed answer does.
    reusedConnection_ = IsConnected();
    ProbeForClose(false);
    if (!IsConnected()) {
        reusedConnection_ = false;
        OpenConnection(ReadTimeout());
    }
    responsePending_ = true;
    WriteRequest();
    if ((request.Method == TIdHTTPMethod::hmPost || request.Method == TIdHTTPMethod::hmPut) &&
        request.SourceStream != nullptr) {
        WriteFromStream(*request.SourceStream, true, false, 0);
    }
}

void TIdCustomHTTP::SelectTransport(bool secure) {
    auto* tls = dynamic_cast<TIdSSLIOHandlerSocketOpenSSL*>(IOHandler());
    if (tls == nullptr) {
        if (secure) {
            throw EIdIOHandlerPropInvalid();
        }
        return;
    }
    // The same host and port may be asked for over the other scheme (an http page that
    // redirects to https on a non-default port): a connection never changes its scheme.
    if (tls->PassThrough() == secure && IsConnected()) {
        CloseConnection();
    }
    tls->SetPassThrough(!secure);
    tls->SetHandshakeTimeout(ReadTimeout());
}

void TIdCustomHTTP::WriteRequest() {
    TIdHTTPRequest& request = Request();
    request.BuildHeaderLines();
    ProxyParams.AddAuthorizationHeader(request.HeaderLines);
    const std::string cookie = CookieValueFor(currentAddress_);
    if (!cookie.empty()) {
        request.HeaderLines.SetHeader("Cookie", cookie);
    }

    const std::string requestLine =
        std::string(MethodWord(request.Method)) + request.RequestURL + " HTTP/" +
        (ProtocolVersion == TIdHTTPProtocolVersion::pv1_0 ? "1.0" : "1.1");
    // A line break inside a line would end it early and turn the rest into a header of its
    // own (RFC 9112 section 2.2); refuse before anything is sent.
    if (HoldsLineBreakOrNul(requestLine)) {
        throw EIdHTTPInvalidRequestHeader("The request line holds a line break or NUL byte");
    }
    for (const std::string& line : request.HeaderLines.Lines()) {
        if (HoldsLineBreakOrNul(line)) {
            throw EIdHTTPInvalidRequestHeader("The request header \"" +
                                              line.substr(0, line.find(':')) +
                                              "\" holds a line break or NUL byte");
        }
    }

    BeginWriteBuffering(-1);
    try {
        WriteLine(requestLine);
        for (const std::string& line : request.HeaderLines.Lines()) {
            if (!line.empty()) {
                WriteLine(line);
            }
        }
        WriteLine("");
    } catch (...) {
        // Nothing of a half-built request may leave with a later one.
        DiscardWriteBuffering();
        EndWriteBuffering();
        throw;
    }
    EndWriteBuffering();
}

int TIdCustomHTTP::ParseStatusCode(std::string_view statusLine) {
    const size_t space = statusLine.find(' ');
    if (space == std::string_view::npos) {
        return -1;
    }
    const std::string rest = Trim(statusLine.substr(space + 1));
    const std::string_view code = std::string_view(rest).substr(0, rest.find(' '));
    // Digits only (no sign), at most ten of them, within 32 bits; anything else is no code.
    if (code.empty() || code.size() > 10 || !IsAsciiDigit(code.front())) {
        return -1;
    }
    const std::optional<std::int64_t> value = TryParseDecimalInt64(code);
    return value && *value <= INT32_MAX ? static_cast<int>(*value) : -1;
}

void TIdCustomHTTP::ReadResponseHead(std::string statusLine) {
    TIdHTTPResponse& response = Response();
    std::size_t headBytes = 0;
    int headLines = 0;
    response.StatusLine = std::move(statusLine);
    for (;;) {
        CountHeadLine(response.StatusLine, headBytes, headLines);
        ReadHeaderBlock(headBytes, headLines);
        StoreResponseCookies();
        response.StatusCode = ParseStatusCode(response.StatusLine);
        // Interim "100 Continue" heads are skipped (RFC 9110 section 15.2.1).
        if (response.StatusCode != 100) {
            break;
        }
        response.StatusLine = ReadLine();
    }
    CheckContentLength();
}

void TIdCustomHTTP::CheckContentLength() {
    TIdHTTPResponse& response = Response();
    std::vector<std::string> fields;
    response.HeaderLines.CollectValues("Content-Length", fields);
    std::optional<std::int64_t> length;
    for (const std::string& field : fields) {
        // A list of the same value repeated is one length (RFC 9110 section 8.6).
        std::string rest = field;
        for (;;) {
            const std::size_t comma = rest.find(',');
            const std::string item = Trim(rest.substr(0, comma));
            const bool digitsOnly = !item.empty() && item.size() <= 18 &&
                                    std::all_of(item.begin(), item.end(), IsAsciiDigit);
            const std::optional<std::int64_t> value =
                digitsOnly ? TryParseDecimalInt64(item) : std::nullopt;
            if (!value || (length && *length != *value)) {
                throw EIdHTTPInvalidContentLength("The response's Content-Length \"" + field +
                                                  "\" is not one valid length");
            }
            length = value;
            if (comma == std::string::npos) {
                break;
            }
            rest.erase(0, comma + 1);
        }
    }
    if (length) {
        if (*length > MaxBodyBytes || *length > INT32_MAX) {
            throw EIdHTTPResponseTooLarge("The response body is larger than " +
                                          std::to_string(MaxBodyBytes) + " bytes");
        }
        response.SetContentLength(static_cast<std::int32_t>(*length));
    }
}

void TIdCustomHTTP::CountHeadLine(const std::string& line, std::size_t& headBytes, int& headLines) {
    headBytes += line.size() + 2;
    if (++headLines > kMaxHeaderLines || headBytes > kMaxHeaderBytes) {
        throw EIdHTTPResponseTooLarge("The response header block is larger than " +
                                      std::to_string(kMaxHeaderBytes / 1024) + " KB or " +
                                      std::to_string(kMaxHeaderLines) + " lines");
    }
}

void TIdCustomHTTP::ReadHeaderBlock(std::size_t& headBytes, int& headLines) {
    TIdHTTPResponse& response = Response();
    response.HeaderLines.Clear();
    std::string line = ReadLine();
    try {
        while (!line.empty()) {
            CountHeadLine(line, headBytes, headLines);
            response.HeaderLines.Add(std::move(line));
            line = ReadLine();
        }
    } catch (const EIdConnClosedGracefully&) {
        // A server that closes inside the header block ends it; what was read is the head.
        CloseConnection();
    }
    response.ParseHeaderLines();
}

TIdCustomHTTP::Outcome TIdCustomHTTP::ProcessResponse() {
    TIdHTTPResponse& response = Response();
    const int code = response.StatusCode;
    const int statusClass = code / 100;

    if ((statusClass == 3 && code != 304) || !response.Location.empty()) {
        std::string location = response.Location;
        TIdHTTPMethod method = Request().Method;
        if (!ConfirmRedirect(location, method)) {
            RaiseProtocolError();
        }
        if (IsConnected()) {
            DiscardBody(kRedirectBodyReadTimeout);
        }
        responsePending_ = false;
        if (HandleRedirects && redirectCount_ < RedirectMaximum) {
            Request().RequestURL = location;
            Request().Method = method;
            return Outcome::GoAgain;
        }
        return Outcome::Done;
    }

    if (statusClass == 2) {
        if (!IsConnected()) {
            return Outcome::Undefined;
        }
        if (code != 204) {
            ReadBody();
        }
        responsePending_ = false;
        return Outcome::Done;
    }

    if (code == 401 || code == 407) {
        const bool proxy = code == 407;
        int& counter = proxy ? proxyChallengeCount_ : serverChallengeCount_;
        bool accepted = false;
        if (counter < AuthRetries) {
            ++counter;
            accepted = proxy ? HandleProxyChallenge() : HandleServerChallenge();
        }
        if (!accepted) {
            ResetAuthenticator(proxy);
            RaiseProtocolError();
        }
        if (IsConnected()) {
            DiscardBody(kRedirectBodyReadTimeout);
        }
        responsePending_ = false;
        return Outcome::RetryWithCredentials;
    }
    RaiseProtocolError();
}

bool TIdCustomHTTP::ConfirmRedirect(std::string& location, TIdHTTPMethod& method) {
    bool handled = HandleRedirects;
    if (OnRedirect) {
        OnRedirect(this, location, redirectCount_, handled, method);
    }
    return handled;
}

void TIdCustomHTTP::DiscardBody(std::int32_t readTimeout) {
    TMemoryStream scratch;
    ScopedBodyRead scope(*this, &scratch, readTimeout);
    try {
        ReadBody();
    } catch (const Exception&) {
        // The body of a response that is not the answer is of no interest; a connection
        // whose body could not be read to its end is not reused.
        CloseConnection();
    }
}

void TIdCustomHTTP::RaiseProtocolError() {
    TIdHTTPResponse& response = Response();
    TMemoryStream errorBody;
    {
        ScopedBodyRead scope(*this, &errorBody, kErrorBodyReadTimeout);
        try {
            ReadBody();
        } catch (const EIdHTTPBodyTruncated&) {
            // The error body only explains the refusal: what arrived of it is kept.
        } catch (const EIdHTTPContentEncodingError&) {
            // The same for one that cannot be decoded: it is left out.
            errorBody.SetSize(0);
        }
    }
    responsePending_ = false;
    throw EIdHTTPProtocolException(response.StatusCode, response.StatusLine, errorBody.Bytes());
}

void TIdCustomHTTP::ReadBody() {
    TIdHTTPResponse& response = Response();
    if (response.BodyStream == nullptr) {
        return;
    }
    const std::vector<TIdContentCoding> codings = ParseContentCodings(response.ContentEncoding);
    if (codings.empty()) {
        BoundedBodyStream body(*response.BodyStream, MaxBodyBytes);
        ReadFramedBody(body);
        return;
    }
    // A compressed body is decoded whole before any of it reaches the caller's stream, so
    // nothing undecoded is ever stored.
    TMemoryStream encoded;
    BoundedBodyStream bounded(encoded, MaxBodyBytes);
    ReadFramedBody(bounded);
    BoundedBodyStream body(*response.BodyStream, MaxBodyBytes);
    DecodeContent(codings, encoded.Bytes(), body, MaxBodyBytes);
}

void TIdCustomHTTP::ReadFramedBody(TStream& body) {
    TIdHTTPResponse& response = Response();
    const std::int32_t length = response.ContentLength();
    if (length > 0) {
        if (length > MaxBodyBytes) {
            throw EIdHTTPResponseTooLarge("The response body is larger than " +
                                          std::to_string(MaxBodyBytes) + " bytes");
        }
        // The whole announced body at once (the connection alone caps its room).
        body.Reserve(body.Position() + length);
        const std::int64_t start = body.Position();
        try {
            ReadIntoStream(body, length, false);
        } catch (const EIdConnClosedGracefully&) {
            // Reported below with the count of what did arrive.
        }
        // Bytes that arrived after the last whole block still wait in the input buffer.
        const std::int64_t received =
            body.Position() - start + static_cast<std::int64_t>(PendingInput().Size());
        if (received < length) {
            throw EIdHTTPBodyTruncated("The connection closed after " + std::to_string(received) +
                                       " of " + std::to_string(length) + " announced body bytes");
        }
    } else if (response.HeaderLines.HeaderValue("Transfer-Encoding").find("chunked") !=
               std::string::npos) {
        ReadChunkedBody(body);
    } else if (!response.ContentLengthGiven()) {
        ReadIntoStream(body, -1, true);
    }
}

// RFC 9112 section 7.1: size lines, each chunk followed by CR LF, a zero size at the end,
// then trailer fields up to a blank line.
void TIdCustomHTTP::ReadChunkedBody(TStream& body) {
    ReportStatus(TIdStatus::hsStatusText, "Chunk Started");
    const std::int64_t start = body.Position();
    std::int64_t announced = 0;
    // unreadData: bytes of a chunk that arrived but still wait in the input buffer.
    auto truncated = [&](std::size_t unreadData) {
        return EIdHTTPBodyTruncated(
            "The connection closed after " +
            std::to_string(body.Position() - start + static_cast<std::int64_t>(unreadData)) +
            " of " + std::to_string(announced) + " announced body bytes, before the last chunk");
    };
    try {
        for (;;) {
            const std::int32_t size = ReadChunkSize();
            if (size == 0) {
                // A size line cut off by the close (its bytes still unterminated) is no last
                // chunk.
                if (!IsConnected() && !PendingInput().Empty()) {
                    throw truncated(0);
                }
                break;
            }
            announced += size;
            try {
                ReadIntoStream(body, size, false);
            } catch (const EIdConnClosedGracefully&) {
                throw truncated(PendingInput().Size());
            }
            if (body.Position() - start < announced) {
                throw truncated(PendingInput().Size());
            }
            ReadLine();
        }
    } catch (const EIdConnClosedGracefully&) {
        throw truncated(0);
    }
    SkipTrailers();
}

void TIdCustomHTTP::SkipTrailers() {
    std::size_t bytes = 0;
    int lines = 0;
    try {
        for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) {
            CountHeadLine(line, bytes, lines);
        }
    } catch (const EIdConnClosedGracefully&) {
        // Every chunk has arrived; a close in the trailer ends only the connection.
    }
}

std::int32_t TIdCustomHTTP::ReadChunkSize() {
    const std::string line = ReadLine();
    // The size ends at a space or at a chunk extension (";name=value", RFC 9112 section
    // 7.1.1); a line that holds no hexadecimal size counts as 0 and ends the body.
    const std::string sizeText = line.substr(0, line.find_first_of(" ;"));
    if (sizeText.empty()) {
        return 0;
    }
    std::int64_t size = 0;
    for (char c : sizeText) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return 0;
        }
        size = size * 16 + digit;
        if (size > INT32_MAX) {
            throw EIdHTTPInvalidChunkSize("The chunk size " + sizeText +
                                          " does not fit in a 32-bit count");
        }
    }
    return static_cast<std::int32_t>(size);
}

bool TIdCustomHTTP::KeepAliveDecision() {
    TIdHTTPResponse& response = Response();
    const std::string version = response.StatusLine.substr(0, 8);
    if (version.size() == 8) {
        if (version.compare(5, 3, "1.0") == 0) {
            response.StatusVersion = TIdHTTPProtocolVersion::pv1_0;
        } else if (version.compare(5, 3, "1.1") == 0) {
            response.StatusVersion = TIdHTTPProtocolVersion::pv1_1;
        }
    }
    CheckForClose(false, false);
    bool keep = false;
    if (IsConnected()) {
        const std::string connection = Trim(response.Connection);
        const std::string proxyConnection = Trim(response.ProxyConnection);
        // HTTP/1.1 connections persist unless closed; HTTP/1.0 ones only on request
        // (RFC 9112 section 9.3).
        if (response.StatusVersion == TIdHTTPProtocolVersion::pv1_1) {
            keep = !SameTextAscii(connection, "close") && !SameTextAscii(proxyConnection, "close");
        } else {
            keep = SameTextAscii(connection, "keep-alive") ||
                   SameTextAscii(proxyConnection, "keep-alive");
        }
    }
    response.KeepConnection = keep;
    return keep;
}

// --- hooks ---------------------------------------------------------------------------------

void TIdCustomHTTP::StoreResponseCookies() {
    cookies_.StoreResponseCookies(AllowCookies, Response().HeaderLines, currentAddress_.Host);
}

std::string TIdCustomHTTP::CookieValueFor(const TIdURI& address) {
    return cookies_.CookieValueFor(address.Host, address.Path,
                                   SameTextAscii(address.Protocol, "https"));
}

bool TIdCustomHTTP::HandleServerChallenge() {
    return AnswerChallenge(Response().WWWAuthenticate, Request().Authenticator,
                           OnSelectAuthorization, OnAuthorization);
}

bool TIdCustomHTTP::HandleProxyChallenge() {
    // The proxy refused what it was given: its password is not offered again.
    ProxyParams.ProxyPassword.clear();
    if (ProxyParams.ProxyAuthenticator) {
        ProxyParams.ProxyAuthenticator->Reset();
    }
    return AnswerChallenge(Response().ProxyAuthenticate, ProxyParams.ProxyAuthenticator,
                           OnSelectProxyAuthorization, OnProxyAuthorization);
}

void TIdCustomHTTP::ResetAuthenticator(bool proxy) {
    const std::shared_ptr<TIdAuthentication>& authenticator =
        proxy ? ProxyParams.ProxyAuthenticator : Request().Authenticator;
    if (authenticator) {
        authenticator->Reset();
    }
}

void TIdCustomHTTP::DisconnectHook() {
    ReleaseAuthenticatorsOnDisconnect(Request().Authenticator,
                                      ProxyParams.ProxyAuthenticator.get());
}

}  // namespace velomaris
