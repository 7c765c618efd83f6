// Reading cookie texts, their expiry, the rebuilt text and which hosts may set a cookie.
#include <gtest/gtest.h>

#include "http/IdCookie.h"
#include "platform/Exception.h"
#include "tests/http/CookieTestSupport.h"

namespace velomaris {
namespace {

using cookietest::ManualClock;
using cookietest::ScopedTimeZone;

class CookieText : public ::testing::Test {
protected:
    ScopedTimeZone zone_{"CST-8"};
    ManualClock clock_;

    std::unique_ptr<TIdCookieRFC2109> Rfc2109(const std::string& text) {
        auto cookie = std::make_unique<TIdCookieRFC2109>(clock_.Clock());
        cookie->ParseCookieText(text);
        return cookie;
    }
    std::unique_ptr<TIdCookieRFC2965> Rfc2965(const std::string& text) {
        auto cookie = std::make_unique<TIdCookieRFC2965>(clock_.Clock());
        cookie->ParseCookieText(text);
        return cookie;
    }
};

TEST_F(CookieText, ReadsNameValueAndAttributes) {
    struct Case {
        std::string text;
        std::string name, value, path, domain;
        bool secure;
    };
    const Case cases[] = {
        {"SID=abc; path=/", "SID", "abc", "/", "", false},
        {"SID=abc", "SID", "abc", "", "", false},
        // Further "=" belong to the value; attribute names ignore case; pieces are trimmed.
        {"a=b=c ;  PATH=/x/ ; Domain=.d.test;SECURE", "a", "b=c", "/x/", ".d.test", true},
        // The first occurrence of an attribute counts.
        {"n=v; path=/a; path=/b; domain=one; domain=two", "n", "v", "/a", "one", false},
        // Quotes around the path go; "secure" only as a bare word.
        {"n=v; path=\"/q/\"; secure=1", "n", "v", "/q/", "", false},
        {"n=v; path=\"/open", "n", "v", "/open", "", false},
        {"n=v; path=/close\"; Secure", "n", "v", "/close", "", true},
        // A first item without "=" has an empty name.
        {"lonely; path=/", "", "lonely", "/", "", false},
        {"n=; path=/", "n", "", "/", "", false},
        // Without any ";" the text is split only at line breaks, untrimmed.
        {" A=1 \r\nPATH=/", " A", "1 ", "/", "", false},
        // A GBK value passes through unchanged; only ASCII letters of names are upper-cased.
        {"n=\xD6\xD0\xCE\xC4; path=/\xB9\xFA/", "n", "\xD6\xD0\xCE\xC4", "/\xB9\xFA/", "", false},
    };
    for (const Case& c : cases) {
        auto cookie = Rfc2109(c.text);
        EXPECT_EQ(cookie->CookieText(), c.text);
        EXPECT_EQ(cookie->CookieName, c.name) << c.text;
        EXPECT_EQ(cookie->Value, c.value) << c.text;
        EXPECT_EQ(cookie->Path, c.path) << c.text;
        EXPECT_EQ(cookie->Domain, c.domain) << c.text;
        EXPECT_EQ(cookie->Secure, c.secure) << c.text;
        EXPECT_EQ(cookie->ClientPair(), c.name + "=" + c.value);
    }
}

TEST_F(CookieText, SameTextIsNotReadAgain) {
    auto cookie = Rfc2109("SID=abc; path=/");
    cookie->Value = "changed";
    cookie->ParseCookieText("SID=abc; path=/");
    EXPECT_EQ(cookie->Value, "changed");
    cookie->ParseCookieText("SID=new; path=/");
    EXPECT_EQ(cookie->Value, "new");
}

TEST_F(CookieText, FlavorAndMaxAgeFollowExpiresAndMaxAge) {
    const std::string inOneHour = FormatInternetDate(clock_.Now() + 1.0 / 24);
    struct Case {
        std::string text;
        int flavor;
        std::int64_t maxAge;
        std::string expiresText;
    };
    const Case cases[] = {
        {"S=1; path=/", TIdNetscapeCookie::kNetscapeFlavor, -1, ""},
        // An expiry date keeps the RFC 2109 flavour; MaxAge comes from Max-Age alone.
        {"S=1; expires=" + inOneHour, TIdNetscapeCookie::kRFC2109Flavor, -1, inOneHour},
        {"S=1; expires=Mon, 08 Dec 2025 12:06:09 GMT", TIdNetscapeCookie::kRFC2109Flavor, -1,
         "Mon, 08 Dec 2025 12:06:09 GMT"},
        // Max-Age becomes an expiry date in the date form of this system.
        {"S=1; max-age=60", TIdNetscapeCookie::kNetscapeFlavor, 60,
         "Mon, 8 Dec 2025 20:06:09 +0800"},
        {"S=1; Max-Age=0", TIdNetscapeCookie::kNetscapeFlavor, 0, "Mon, 8 Dec 2025 20:05:09 +0800"},
        // With both, the Max-Age attribute sets MaxAge; the date stays the expiry.
        {"S=1; expires=" + inOneHour + "; max-age=5", TIdNetscapeCookie::kRFC2109Flavor, 5,
         inOneHour},
        {"S=1; max-age=soon", TIdNetscapeCookie::kNetscapeFlavor, -1, ""},
        {"S=1; max-age=-5", TIdNetscapeCookie::kNetscapeFlavor, -5, ""},
        // A max-age of thousands of years stops at the last date a four-digit year can show.
        {"S=1; max-age=9223372036854775807", TIdNetscapeCookie::kNetscapeFlavor,
         253402300799 - cookietest::kStartUnixTime - 8 * 3600, "Fri, 31 Dec 9999 23:59:59 +0800"},
        {"S=1; max-age=9223372036854775808", TIdNetscapeCookie::kNetscapeFlavor, -1, ""},
    };
    for (const Case& c : cases) {
        auto cookie = Rfc2109(c.text);
        EXPECT_EQ(cookie->Flavor, c.flavor) << c.text;
        EXPECT_EQ(cookie->MaxAge, c.maxAge) << c.text;
        EXPECT_EQ(cookie->ExpiresText(), c.expiresText) << c.text;
    }
}

TEST_F(CookieText, SettingTheExpiryGivesTheSecondsUntilIt) {
    TIdCookieRFC2109 cookie(clock_.Clock());
    cookie.SetExpiresText(FormatInternetDate(clock_.Now() + 1.0 / 24));
    EXPECT_EQ(cookie.MaxAge, 3600);
    cookie.SetExpiresText("Mon, 08 Dec 2025 12:06:09 GMT");
    EXPECT_EQ(cookie.MaxAge, 60);
    cookie.SetExpiresText("Mon, 08 Dec 2025 12:04:08 GMT");
    EXPECT_EQ(cookie.MaxAge, -61);
    cookie.SetExpiresText("");
    EXPECT_EQ(cookie.ExpiresText(), "");
    EXPECT_EQ(cookie.MaxAge, -61);
    // An unreadable date reads as 0 (30 Dec 1899): the text stays, MaxAge lies far back.
    cookie.SetExpiresText("garbage");
    EXPECT_EQ(cookie.ExpiresText(), "garbage");
    EXPECT_LT(cookie.MaxAge, -3'000'000'000LL);

    auto parsed = Rfc2109("S=1; expires=garbage");
    EXPECT_EQ(parsed->ExpiresText(), "garbage");
    EXPECT_EQ(parsed->Flavor, TIdNetscapeCookie::kRFC2109Flavor);
}

TEST_F(CookieText, RebuiltTextCarriesWhatHasAValue) {
    struct Case {
        std::string text;
        std::string rebuilt;
    };
    const std::string inOneHour = FormatInternetDate(clock_.Now() + 1.0 / 24);
    const Case cases[] = {
        {"SID=abc;path=/;domain=site;secure", "SID=abc; path=/; domain=site; secure"},
        {"SID=abc; Comment=hello; Version=1; path=/", "SID=abc; path=/; comment=hello; version=1"},
        // RFC 2109 flavour: the expiry date is left out (so a replacement loses it).
        {"SID=abc; path=/; expires=" + inOneHour, "SID=abc; path=/"},
        // Plain flavour after Max-Age: the computed date is carried instead of max-age.
        {"SID=abc; max-age=60", "SID=abc; expires=Mon, 8 Dec 2025 20:06:09 +0800"},
        // The pair stays even with an empty value, so a re-read keeps the cookie's name.
        {"SID=; path=/", "SID=; path=/"},
        {"=v", "=v"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Rfc2109(c.text)->RebuildText(), c.rebuilt) << c.text;
        EXPECT_EQ(Rfc2109(c.text)->ServerCookie(), c.rebuilt) << c.text;
    }
    // Re-reading the rebuilt text gives the same cookie.
    auto original = Rfc2109("SID=; Path=/a; DOMAIN=.x.test; secure");
    auto again = Rfc2109(original->RebuildText());
    EXPECT_EQ(again->CookieName, "SID");
    EXPECT_EQ(again->Value, "");
    EXPECT_EQ(again->Path, "/a");
    EXPECT_EQ(again->Domain, ".x.test");
    EXPECT_TRUE(again->Secure);

    // A cookie whose MaxAge is set without an expiry text rebuilds with max-age.
    auto manual = Rfc2109("SID=1");
    manual->MaxAge = 30;
    EXPECT_EQ(manual->RebuildText(), "SID=1; max-age=30");
}

TEST_F(CookieText, NetscapeCookieKeepsItsExpiryInTheRebuiltText) {
    TIdNetscapeCookie cookie(clock_.Clock());
    cookie.ParseCookieText("N=1; expires=Mon, 08 Dec 2025 12:06:09 GMT; path=/");
    EXPECT_EQ(cookie.Flavor, TIdNetscapeCookie::kNetscapeFlavor);
    EXPECT_EQ(cookie.RebuildText(), "N=1; path=/; expires=Mon, 08 Dec 2025 12:06:09 GMT");
    EXPECT_EQ(CreateCookie(TIdCookieClass::ccNetscape)->Flavor, TIdNetscapeCookie::kNetscapeFlavor);
    EXPECT_EQ(CreateCookie(TIdCookieClass::ccRFC2109)->Flavor, TIdNetscapeCookie::kRFC2109Flavor);
    EXPECT_EQ(CreateCookie(TIdCookieClass::ccRFC2965)->Flavor, TIdNetscapeCookie::kRFC2965Flavor);
}

TEST_F(CookieText, Rfc2965ReadsPortListDiscardAndCommentUrl) {
    struct Case {
        std::string text;
        std::vector<std::int32_t> ports;
    };
    const Case cases[] = {
        {"S=1", {80}},
        {"S=1; Port", {80}},
        {"S=1; Port=\"\"", {80}},
        {"S=1; Port=\"8080\"", {8080}},
        {"S=1; Port=\"80,8080\"", {80, 8080}},
        {"S=1; Port=\"81 82, 83\"", {81, 82, 83}},
        // Not in quotes: the list stays as it was (empty for a new cookie).
        {"S=1; Port=8080", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Rfc2965(c.text)->PortList, c.ports) << c.text;
    }
    auto cookie = Rfc2965("S=1; Discard; CommentURL=http://x.test/why; path=/");
    EXPECT_TRUE(cookie->Discard);
    EXPECT_EQ(cookie->CommentURL, "http://x.test/why");
    EXPECT_FALSE(Rfc2965("S=1; discard=1")->Discard);
    // No expiry: plain flavour, as for RFC 2109.
    EXPECT_EQ(cookie->Flavor, TIdNetscapeCookie::kNetscapeFlavor);
    EXPECT_EQ(Rfc2965("S=1; expires=" + FormatInternetDate(clock_.Now() + 1))->Flavor,
              TIdNetscapeCookie::kRFC2965Flavor);
}

TEST_F(CookieText, Rfc2965PortEntryThatIsNoNumberFails) {
    auto cookie = std::make_unique<TIdCookieRFC2965>(clock_.Clock());
    try {
        cookie->ParseCookieText("S=1; Port=\"80,eighty\"");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'eighty' is not a valid integer value");
    }
    // The failed text is read in full when it comes again (and fails again).
    EXPECT_THROW(cookie->ParseCookieText("S=1; Port=\"80,eighty\""), EConvertError);
}

TEST(CookieHosts, DottedQuad) {
    struct Case {
        const char* text;
        bool quad;
    };
    const Case cases[] = {
        {"127.0.0.1", true}, {"255.255.255.255", true}, {"1.2.3.4.5", true},
        {"1.2.3.4.x", true}, {"1.2.3", false},          {"256.1.1.1", false},
        {"1..2.3", false},   {"a.b.c.d", false},        {"", false},
        {"1.2.3.-1", false}, {"example.test", false},   {"1.2.3.", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDottedQuad(c.text), c.quad) << c.text;
    }
}

TEST(CookieHosts, AcceptsHostOnlyForItselfOrItsParentDomain) {
    struct Case {
        const char* domain;
        const char* host;
        bool accepted;
    };
    const Case cases[] = {
        {".example-domain", "shop.example-domain", true},
        {".example-domain", "a.shop.example-domain", false},
        {"example-domain", "shop.example-domain", false},  // no leading dot: refused
        {".shop.example-domain", "a.shop.example-domain", true},
        {"site", "site", true},
        {"site", "shop.site", false},
        {"shop.site", "shop.site", true},
        {"Site", "site", false},  // exact comparison for plain names
        {".SITE", "shop.site", false},
        {"other", "site", false},
        {"127.0.0.1", "127.0.0.1", true},
        {".0.0.1", "127.0.0.1", false},
        {"0.0.1", "127.0.0.1", false},
        {"127.0.0.1", "x.127.0.0.1", false},
        // A host that itself begins with a dot compares with its domain part ignoring case.
        {".example", ".example", true},
        {".EXAMPLE", ".example", true},
        {"example", ".example", false},
    };
    for (const Case& c : cases) {
        TIdCookieRFC2109 cookie;
        cookie.Domain = c.domain;
        EXPECT_EQ(cookie.AcceptsHost(c.host), c.accepted)
            << "domain " << c.domain << " from host " << c.host;
    }
}

}  // namespace
}  // namespace velomaris
