// One HTTP cookie as a server set it: the Netscape form, RFC 2109 ("Set-cookie") and
// RFC 2965 ("Set-cookie2").
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/IdHTTPHeaderInfo.h"

namespace velomaris {

// The current local time as the cookies see it; tests give a clock they can move.
using TIdCookieClock = std::function<TIdDateTime()>;

// Which cookie class a cookie text is read into.
enum class TIdCookieClass { ccNetscape, ccRFC2109, ccRFC2965 };

// The Netscape cookie, the base of the others. A cookie text is "name=value" followed by
// attributes separated by ";" (path, expires, domain, secure, ...).
class TIdNetscapeCookie {
public:
    // 0: plain Netscape cookie (its rebuilt text carries "expires"), 1: RFC 2109, 2: RFC 2965.
    enum Flavors { kNetscapeFlavor = 0, kRFC2109Flavor = 1, kRFC2965Flavor = 2 };

    explicit TIdNetscapeCookie(TIdCookieClock clock = LocalNow);
    virtual ~TIdNetscapeCookie() = default;
    TIdNetscapeCookie(const TIdNetscapeCookie&) = delete;
    TIdNetscapeCookie& operator=(const TIdNetscapeCookie&) = delete;

    // Reads the cookie from text; does nothing when text is the text last read.
    void ParseCookieText(const std::string& text);
    // The cookie as text again: name=value and the attributes that have a value.
    virtual std::string RebuildText() const;
    // The text a server would send to set this cookie (the same as RebuildText).
    std::string ServerCookie() const { return RebuildText(); }
    virtual void SetExpiresText(const std::string& text);
    // "name=value" as the client sends it back.
    virtual std::string ClientPair() const;
    // Whether a response from host may set this cookie (its Domain must be host itself, or
    // host's parent domain written with a leading ".").
    virtual bool AcceptsHost(const std::string& host) const;

    const std::string& CookieText() const { return cookieText_; }
    const std::string& ExpiresText() const { return expiresText_; }

    std::string CookieName;
    std::string Value;
    std::string Domain;
    std::string Path;
    bool Secure = false;
    int Flavor = kNetscapeFlavor;

protected:
    // Applies the attribute items ("NAME=value" with an upper-case name, or a bare upper-case
    // word) that followed name=value.
    virtual void ApplyAttributes(const std::vector<std::string>& items);
    TIdDateTime Now() const { return clock_(); }

    // The value of the first item named name (ignoring case); empty when there is none.
    static std::string AttributeValue(const std::vector<std::string>& items, std::string_view name);
    static bool HasAttributeAtom(const std::vector<std::string>& items, std::string_view atom);

private:
    TIdCookieClock clock_;
    std::string cookieText_;
    std::string expiresText_;
};

// The RFC 2109 cookie: adds Max-Age, Version and Comment.
class TIdCookieRFC2109 : public TIdNetscapeCookie {
public:
    explicit TIdCookieRFC2109(TIdCookieClock clock = LocalNow);

    std::string RebuildText() const override;
    // Also sets MaxAge to the whole seconds from now until the expiry date.
    void SetExpiresText(const std::string& text) override;

    // Seconds the cookie lives; -1 when not given.
    std::int64_t MaxAge = -1;
    std::string Version;
    std::string Comment;

protected:
    void ApplyAttributes(const std::vector<std::string>& items) override;
};

// The RFC 2965 cookie: adds CommentURL, Discard and the port list.
class TIdCookieRFC2965 : public TIdCookieRFC2109 {
public:
    explicit TIdCookieRFC2965(TIdCookieClock clock = LocalNow);

    std::string CommentURL;
    bool Discard = false;
    std::vector<std::int32_t> PortList;

protected:
    // A quoted Port list with an entry that is not a number raises EConvertError.
    void ApplyAttributes(const std::vector<std::string>& items) override;
};

std::unique_ptr<TIdNetscapeCookie> CreateCookie(TIdCookieClass cookieClass,
                                                TIdCookieClock clock = LocalNow);

// Four "."-separated parts (further parts are not looked at) that each read 0 to 255.
bool IsDottedQuad(std::string_view text);

}  // namespace velomaris
