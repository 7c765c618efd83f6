// The HTTP client: a GET (or another method) of one URL over a TCP connection that is kept
// open between requests when the server allows it. Redirects are followed only on request;
// every status other than 2xx ends in EIdHTTPProtocolException carrying the status line and
// the error body.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "http/IdAuthentication.h"
#include "http/IdCookieManager.h"
#include "http/IdHTTPHeaderInfo.h"
#include "http/IdURI.h"
#include "net/IdException.h"
#include "net/IdTCPClient.h"
#include "platform/Stream.h"

namespace velomaris {

// The server answered with a status the client does not accept. The message is the status
// line as received ("HTTP/1.1 404 Not Found"); ReplyCode() is the status code.
class EIdHTTPProtocolException : public EIdProtocolReplyError {
public:
    EIdHTTPProtocolException(int statusCode, std::string statusLine, std::string errorBody)
        : EIdProtocolReplyError(statusCode, std::move(statusLine)),
          errorBody_(std::move(errorBody)) {}
    // The response body, read with a 2000 ms time-out.
    const std::string& ErrorBody() const noexcept { return errorBody_; }

private:
    std::string errorBody_;
};

// An https URL on a client without the secure transport (TIdSSLIOHandlerSocketOpenSSL) as
// its IO handler.
class EIdIOHandlerPropInvalid : public EIdException {
public:
    EIdIOHandlerPropInvalid() : EIdException("IOHandler value is not valid") {}
};

// The response is bigger than the client will hold in memory (see TIdCustomHTTP limits).
class EIdHTTPResponseTooLarge : public EIdException {
public:
    using EIdException::EIdException;
};

// A chunk size line of a chunked body that cannot be a valid size.
class EIdHTTPInvalidChunkSize : public EIdException {
public:
    using EIdException::EIdException;
};

// The connection ended before the whole body had arrived: before the announced length, or
// before the last (zero-size) chunk. The message names what arrived and what was announced.
class EIdHTTPBodyTruncated : public EIdException {
public:
    using EIdException::EIdException;
};

// A "Content-Length" that is negative, not a number, or given twice with different values
// (RFC 9112 section 6.3): where the body ends cannot be known.
class EIdHTTPInvalidContentLength : public EIdException {
public:
    using EIdException::EIdException;
};

// A body whose "Content-Encoding" is not one the client decodes (gzip, x-gzip, deflate,
// identity), or whose compressed data is damaged or incomplete.
class EIdHTTPContentEncodingError : public EIdException {
public:
    using EIdException::EIdException;
};

// A request header line that would break the request apart (CR, LF or NUL inside it).
class EIdHTTPInvalidRequestHeader : public EIdException {
public:
    using EIdException::EIdException;
};

// The options of the client (hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams).
struct TIdHTTPOptions {
    bool InProcessAuth = false;
    bool KeepOrigProtocol = false;
    bool ForceEncodeParams = true;
};

class TIdCustomHTTP;

// Asked before a redirect is followed: may change the target, the method and the answer
// (which starts as HandleRedirects).
using TIdHTTPRedirectEvent =
    std::function<void(TIdCustomHTTP* sender, std::string& location, int redirectCount,
                       bool& handled, TIdHTTPMethod& method)>;

// Owns the request and the response record; both are reused for every request.
class TIdHTTPProtocol {
public:
    explicit TIdHTTPProtocol(TIdCustomHTTP* owner) : Request(owner), Response(owner) {}
    TIdHTTPProtocol(const TIdHTTPProtocol&) = delete;
    TIdHTTPProtocol& operator=(const TIdHTTPProtocol&) = delete;

    TIdHTTPRequest Request;
    TIdHTTPResponse Response;
};

class TIdCustomHTTP : public TIdTCPClient {
public:
    // A header block (interim 100 responses included) above either bound is refused rather
    // than held in memory; curl uses the same bounds.
    static constexpr std::size_t kMaxHeaderBytes = 300 * 1024;
    static constexpr int kMaxHeaderLines = 5000;
    // The page is held in memory: a body beyond this is refused.
    static constexpr std::int64_t kMaxBodyBytes = 256LL * 1024 * 1024;
    // Read time-out while the body of a refused response is read for ErrorBody.
    static constexpr std::int32_t kErrorBodyReadTimeout = 2000;
    // Read time-out while the body of a followed redirect is thrown away.
    static constexpr std::int32_t kRedirectBodyReadTimeout = 4000;

    TIdCustomHTTP();
    ~TIdCustomHTTP() override;

    // Fetches url with a GET and appends the body to stream at its position.
    void GetToStream(const std::string& url, TStream& stream);
    // The request loop for any method; bodyStream receives the body, sourceStream is uploaded
    // for POST and PUT. Either may be null.
    void ExecuteRequest(TIdHTTPMethod method, const std::string& url, TStream* bodyStream,
                        TStream* sourceStream);

    // --- properties
    int AuthRetries = 3;
    bool AllowCookies = true;
    bool HandleRedirects = false;
    TIdHTTPProtocolVersion ProtocolVersion = TIdHTTPProtocolVersion::pv1_1;
    int RedirectMaximum = 15;
    TIdProxyConnectionInfo ProxyParams;
    TIdHTTPOptions HTTPOptions;
    TIdHTTPRedirectEvent OnRedirect;
    // Challenges: the select events may pick another scheme than the first registered one;
    // the authorization events may supply credentials. Unassigned, every challenge is declined.
    TIdSelectAuthorizationEvent OnSelectAuthorization;
    TIdSelectAuthorizationEvent OnSelectProxyAuthorization;
    TIdAuthorizationEvent OnAuthorization;
    TIdAuthorizationEvent OnProxyAuthorization;
    // The largest body the client accepts (kMaxBodyBytes unless a test lowers it), before
    // and after decoding a compressed one.
    std::int64_t MaxBodyBytes = kMaxBodyBytes;
    // The overall bound of one ExecuteRequest (ms), redirects and a reconnect included, on
    // top of the per-read ReadTimeout; 0, the default, sets none. When it passes the request
    // ends with EIdOperationTimeout (net/IdWait.h).
    std::int32_t OperationTimeout = 0;

    TIdHTTPRequest& Request() { return protocol_.Request; }
    TIdHTTPResponse& Response() { return protocol_.Response; }
    int ResponseCode() const { return protocol_.Response.StatusCode; }
    // Host, port and path carried from one request to the next.
    TIdURI& CurrentAddress() { return currentAddress_; }
    // The cookie store: none at first, the client's own from the first response on when
    // AllowCookies is set, or one assigned here (not owned; assigning frees the client's own).
    TIdCookieManager* CookieManager() const { return cookies_.Manager(); }
    void SetCookieManager(TIdCookieManager* manager) { cookies_.Assign(manager); }

    // Setting the connection's endpoint also records it in CurrentAddress.
    void SetHost(const std::string& host) override;
    void SetPort(std::int32_t port) override;

    // After the inherited notification, runs the disconnect hook.
    void NotifyDisconnected() override;

    // Folds the request's URL into CurrentAddress and sets the request target and Host.
    void ResolveTarget();

    // The status code of a status line: the number after the first space, -1 without one.
    static int ParseStatusCode(std::string_view statusLine);

protected:
    // --- hooks of the cookie store and the authentication schemes -------------------------
    // Stores the cookies of the response just read (making the client's own store first when
    // there is none and AllowCookies is set).
    virtual void StoreResponseCookies();
    // The "Cookie" value for the address; empty (so no "Cookie" header) without a store.
    virtual std::string CookieValueFor(const TIdURI& address);
    // Answers a 401 challenge of the server (the counter has already been raised): true to
    // send the request again with credentials.
    virtual bool HandleServerChallenge();
    // The same for a 407 challenge of the proxy.
    virtual bool HandleProxyChallenge();
    // After a challenge was declined or retried too often: resets the authenticator attached
    // to the request (proxy false) or to the proxy settings (proxy true).
    virtual void ResetAuthenticator(bool proxy);
    // Runs every time the connection is closed or found closed (authenticator clean-up).
    virtual void DisconnectHook();

    // Challenges answered in the current request.
    int ServerChallengeCount() const { return serverChallengeCount_; }
    int ProxyChallengeCount() const { return proxyChallengeCount_; }

private:
    enum class Outcome { Done, GoAgain, RetryWithCredentials, Undefined };

    void PrepareRequest();
    // Sends the request and reads the response head. A kept-open connection that turns out
    // closed or reset before a byte of the answer arrived is replaced once by a new one.
    void SendAndReadResponseHead();
    void ConnectAndSend();
    // With the secure transport as IO handler: TLS for https, none for http. Without it, an
    // https URL raises EIdIOHandlerPropInvalid.
    void SelectTransport(bool secure);
    void WriteRequest();
    void ReadResponseHead(std::string statusLine);
    // Refuses a response whose Content-Length cannot be trusted; fixes the length of one
    // that repeats the same value.
    void CheckContentLength();
    void ReadHeaderBlock(std::size_t& headBytes, int& headLines);
    // Counts a line of the response head (status and header lines of every interim response
    // too) against the bounds.
    static void CountHeadLine(const std::string& line, std::size_t& headBytes, int& headLines);
    Outcome ProcessResponse();
    bool ConfirmRedirect(std::string& location, TIdHTTPMethod& method);
    void ReadBody();
    // The body as it travels (length, chunks or up to the close), before any decoding.
    void ReadFramedBody(TStream& body);
    void ReadChunkedBody(TStream& body);
    std::int32_t ReadChunkSize();
    // The trailer fields after the last chunk, up to the blank line, bounded like the head;
    // their content is not used.
    void SkipTrailers();
    // Reads the body into a scratch stream with the given time-out and throws it away,
    // ignoring any failure.
    void DiscardBody(std::int32_t readTimeout);
    [[noreturn]] void RaiseProtocolError();
    // Whether the connection may serve the next request; also stored in KeepConnection.
    bool KeepAliveDecision();

    TIdHTTPProtocol protocol_;
    TIdURI currentAddress_;
    int redirectCount_ = 0;
    int serverChallengeCount_ = 0;
    int proxyChallengeCount_ = 0;
    // A request was sent and its response has not been read to its end.
    bool responsePending_ = false;
    // The request went out on a connection that an earlier response had left open.
    bool reusedConnection_ = false;
    TIdClientCookieStore cookies_;
};

// The HTTP client component of the main window.
class TIdHTTP : public TIdCustomHTTP {
public:
    TIdHTTP() = default;
};

}  // namespace velomaris
