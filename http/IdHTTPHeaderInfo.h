// The header records of an HTTP request and response, the proxy settings, and the reader and
// writer of Internet dates.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "http/IdHeaderList.h"
#include "net/IdException.h"

namespace velomaris {

class TStream;
class TIdCustomHTTP;
// An authenticator attached to a request or to the proxy settings; defined with the
// authentication schemes.
class TIdAuthentication;

// A date and time: days since 30 Dec 1899 (the fraction is the time of day), in local time.
// 0 means "no date".
using TIdDateTime = double;

// The system cannot report its offset from UTC.
class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    EIdFailedToRetreiveTimeZoneInfo()
        : EIdException("Failed attempting to retrieve time zone information.") {}
};

// The local offset from UTC in force now, in minutes east of Greenwich (+480 for +0800).
int LocalOffsetFromUtcMinutes();
// The current local date and time.
TIdDateTime LocalNow();
// The local date-time of a moment given as seconds since 1970-01-01 UTC, and back; both use
// the offset in force now, as the Internet dates do.
TIdDateTime UnixTimeToLocal(std::int64_t unixSeconds);
std::int64_t LocalToUnixTime(TIdDateTime localDateTime);

// Reads the three date forms of HTTP (RFC 2616 section 3.3.1: RFC 1123, RFC 850 and asctime)
// with an optional "+hhmm"/"-hhmm" zone; the moment in local time, 0 when unreadable.
TIdDateTime ReadInternetDate(std::string_view text);
// "Mon, 8 Dec 2025 20:05:09 +0800": the local date-time with the local offset from UTC.
std::string FormatInternetDate(TIdDateTime dateTime);

// The fields every HTTP message may carry about its body.
class TIdEntityHeaderInfo {
public:
    TIdEntityHeaderInfo();
    virtual ~TIdEntityHeaderInfo();
    TIdEntityHeaderInfo(const TIdEntityHeaderInfo&) = delete;
    TIdEntityHeaderInfo& operator=(const TIdEntityHeaderInfo&) = delete;

    // Fills the fields from HeaderLines.
    virtual void ParseHeaderLines();
    // Fills HeaderLines from the fields.
    virtual void BuildHeaderLines();
    // Resets the fields to their defaults (CacheControl, Pragma and CustomHeaders stay).
    virtual void Clear();

    std::int32_t ContentLength() const { return contentLength_; }
    // -1 means "no length"; ContentLengthGiven follows.
    void SetContentLength(std::int32_t length);
    bool ContentLengthGiven() const { return contentLength_ >= 0; }

    std::string CacheControl;
    std::string Connection;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::uint32_t ContentRangeEnd = 0;
    std::uint32_t ContentRangeStart = 0;
    std::string ContentType;
    std::string ContentVersion;
    TIdHeaderList CustomHeaders{TIdHeaderList::kDefaultFoldWidth};
    TIdDateTime Date = 0;
    TIdDateTime Expires = 0;
    TIdDateTime LastModified = 0;
    std::string Pragma;
    TIdHeaderList HeaderLines{kHeaderLinesFoldWidth};

    // The clock behind "Expires: <seconds>"; the real local time unless a test sets another.
    std::function<TIdDateTime()> Now = LocalNow;

    static constexpr int kHeaderLinesFoldWidth = 1024;

protected:
    void ClearEntity();

private:
    std::int32_t contentLength_ = -1;
};

// The fields of a request.
class TIdRequestHeaderInfo : public TIdEntityHeaderInfo {
public:
    TIdRequestHeaderInfo();
    ~TIdRequestHeaderInfo() override;

    // Reads request headers as a server would; the client never calls it.
    void ParseHeaderLines() override;
    void BuildHeaderLines() override;
    void Clear() override;

    std::string Accept;
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    bool BasicAuthentication = false;
    std::string Host;
    std::string From;
    std::string Password;
    std::string Referer;
    std::string UserAgent;
    std::string Username;
    std::string ProxyConnection;
    // The authenticator attached by a challenge; none at first.
    std::shared_ptr<TIdAuthentication> Authenticator;

    static constexpr std::string_view kDefaultAccept = "text/html, */*";
    static constexpr std::string_view kDefaultUserAgent = "Mozilla/3.0 (compatible; Velomaris)";

private:
    // The value of the "Authorization" header: the attached authenticator's value, or, with
    // BasicAuthentication set and none attached, that of a new basic authenticator for
    // Username and Password, which is attached. Empty (no header) when neither applies.
    std::string AuthorizationValue();
};

enum class TIdHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

enum class TIdHTTPConnectionType { ctNormal, ctSSL, ctProxy, ctSSLProxy };

// The request record of the client, reused for every request.
class TIdHTTPRequest : public TIdRequestHeaderInfo {
public:
    explicit TIdHTTPRequest(TIdCustomHTTP* owner = nullptr) : Owner(owner) {}

    TIdCustomHTTP* Owner;
    // The caller's URL, then the resolved request target.
    std::string RequestURL;
    TIdHTTPMethod Method = TIdHTTPMethod::hmGet;
    // The body to upload; none for a GET. Not owned.
    TStream* SourceStream = nullptr;
    TIdHTTPConnectionType ConnectionKind = TIdHTTPConnectionType::ctNormal;
};

// The fields of a response.
class TIdResponseHeaderInfo : public TIdEntityHeaderInfo {
public:
    TIdResponseHeaderInfo();

    void ParseHeaderLines() override;
    void Clear() override;

    std::string Location;
    std::string ProxyConnection;
    std::string Server;
    // One challenge per line.
    TIdHeaderList ProxyAuthenticate;
    TIdHeaderList WWWAuthenticate;
};

enum class TIdHTTPProtocolVersion { pv1_0, pv1_1 };

// The response record of the client; it keeps the last response until the next one is read.
class TIdHTTPResponse : public TIdResponseHeaderInfo {
public:
    explicit TIdHTTPResponse(TIdCustomHTTP* owner = nullptr) : Owner(owner) {}

    TIdCustomHTTP* Owner;
    // The first line of the response as read.
    std::string StatusLine;
    int StatusCode = 0;
    bool KeepConnection = false;
    TIdHTTPProtocolVersion StatusVersion = TIdHTTPProtocolVersion::pv1_1;
    // Receives the body; not owned.
    TStream* BodyStream = nullptr;
};

// The proxy settings of the client (no proxy when ProxyServer is empty).
class TIdProxyConnectionInfo {
public:
    TIdProxyConnectionInfo();
    ~TIdProxyConnectionInfo();
    TIdProxyConnectionInfo(const TIdProxyConnectionInfo&) = delete;
    TIdProxyConnectionInfo& operator=(const TIdProxyConnectionInfo&) = delete;

    const std::string& ProxyServer() const { return proxyServer_; }
    // Another server (not only in case) or another port drops the proxy authenticator, whose
    // credentials belonged to the old proxy.
    void SetProxyServer(const std::string& server);
    int ProxyPort() const { return proxyPort_; }
    void SetProxyPort(int port);

    // Empties server, user name and password and sets the port to 0.
    void Clear();

    bool BasicAuthentication = false;
    std::string ProxyPassword;
    std::string ProxyUsername;
    std::shared_ptr<TIdAuthentication> ProxyAuthenticator;

    // Adds "Proxy-Authorization" to headers when an authenticator is attached or
    // BasicAuthentication is set (a basic authenticator for ProxyUsername and ProxyPassword
    // is then attached).
    void AddAuthorizationHeader(TIdHeaderList& headers);

private:
    std::string proxyServer_;
    int proxyPort_ = 0;
};

}  // namespace velomaris
