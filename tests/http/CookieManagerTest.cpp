// The cookie store: storing, replacing, expiring, the "Cookie" value and its bounds.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "http/IdCookieManager.h"
#include "platform/Exception.h"
#include "tests/http/CookieTestSupport.h"

namespace velomaris {
namespace {

using cookietest::ManualClock;
using cookietest::ScopedTimeZone;

class CookieStore : public ::testing::Test {
protected:
    ScopedTimeZone zone_{"CST-8"};
    ManualClock clock_;
    TIdCookieManager store_{clock_.Clock()};

    bool Store(const std::string& text, const std::string& host = "site") {
        return store_.StoreCookie(text, host, TIdCookieClass::ccRFC2109);
    }
    std::string CookieFor(const std::string& host, const std::string& path) {
        return store_.BuildCookieValue(host, path, false);
    }
    std::string Date(double secondsFromNow) {
        return FormatInternetDate(clock_.Now() + secondsFromNow / 86400.0);
    }
};

TEST_F(CookieStore, LongerPathsFirstThenTheOrderOfStoring) {
    ASSERT_TRUE(Store("A=1; path=/"));
    ASSERT_TRUE(Store("B=2; path=/sub/"));
    EXPECT_EQ(CookieFor("site", "/sub/x.php"), "B=2; A=1");
    EXPECT_EQ(CookieFor("site", "/x.php"), "A=1");
    // The path is a case-sensitive prefix.
    EXPECT_EQ(CookieFor("site", "/SUB/x.php"), "A=1");
    EXPECT_EQ(CookieFor("site", ""), "");
}

TEST_F(CookieStore, SamePathSendsTheLaterStoredFirst) {
    Store("A=1; path=/");
    Store("B=2; path=/");
    EXPECT_EQ(CookieFor("site", "/"), "B=2; A=1");
    Store("C=3; path=/");
    Store("D=4; path=/sub/");
    EXPECT_EQ(CookieFor("site", "/sub/"), "D=4; C=3; B=2; A=1");
    // Paths compare ignoring case for the order (not for the match).
    Store("E=5; path=/S");
    Store("F=6; path=/sub");
    EXPECT_EQ(CookieFor("site", "/Sub"), "E=5; C=3; B=2; A=1");
    EXPECT_EQ(CookieFor("site", "/sub/"), "D=4; F=6; C=3; B=2; A=1");
}

TEST_F(CookieStore, DomainsGoInTheOrderTheyFirstAppeared) {
    ASSERT_TRUE(Store("X=1; path=/; domain=.example.test", "shop.example.test"));
    ASSERT_TRUE(Store("Y=2; path=/", "shop.example.test"));
    ASSERT_TRUE(Store("Z=3; path=/; domain=.example.test", "shop.example.test"));
    ASSERT_EQ(store_.Cookies().DomainCount(), 2);
    EXPECT_EQ(store_.Cookies().DomainAt(0), ".example.test");
    EXPECT_EQ(store_.Cookies().DomainAt(1), "shop.example.test");
    // Each domain's cookies from the last to the first, domain after domain.
    EXPECT_EQ(CookieFor("shop.example.test", "/"), "Z=3; X=1; Y=2");
    EXPECT_EQ(CookieFor("other.example.test", "/"), "Z=3; X=1");
}

TEST_F(CookieStore, CookiesThatAreStoredButNeverSent) {
    EXPECT_TRUE(Store("NOPATH=abc"));
    EXPECT_TRUE(Store("EMPTY=; path=/"));
    EXPECT_TRUE(Store("SEC=abc; path=/; secure"));
    EXPECT_EQ(store_.Cookies().Count(), 3);
    EXPECT_EQ(CookieFor("site", "/"), "");
    EXPECT_EQ(store_.BuildCookieValue("site", "/", true), "SEC=abc");
}

TEST_F(CookieStore, PastExpiryIsPurgedBeforeTheNextRequest) {
    EXPECT_TRUE(Store("SID=abc; path=/; expires=Thu, 01 Dec 1994 16:00:00 GMT"));
    EXPECT_TRUE(Store("KEEP=1; path=/"));
    EXPECT_EQ(store_.Cookies().Count(), 2);
    EXPECT_EQ(CookieFor("site", "/"), "KEEP=1");
    EXPECT_EQ(store_.Cookies().Count(), 1);
    EXPECT_EQ(store_.Cookies().CookiesAt(0).Count(), 1);
}

TEST_F(CookieStore, UnreadableExpiryCountsAsLongPast) {
    Store("BAD=1; path=/; expires=someday");
    EXPECT_EQ(CookieFor("site", "/"), "");
    EXPECT_EQ(store_.Cookies().Count(), 0);
    ASSERT_EQ(store_.Cookies().DomainCount(), 1);
    EXPECT_EQ(store_.Cookies().CookiesAt(0).Count(), 0);
}

TEST_F(CookieStore, MaxAgeExpiresWithTheClock) {
    Store("SID=abc; path=/; max-age=60");
    ASSERT_EQ(store_.Cookies().Count(), 1);
    EXPECT_EQ(store_.Cookies()[0].ExpiresText(), "Mon, 8 Dec 2025 20:06:09 +0800");
    clock_.AdvanceSeconds(59.5);
    EXPECT_EQ(CookieFor("site", "/"), "SID=abc");
    clock_.AdvanceSeconds(1);
    EXPECT_EQ(CookieFor("site", "/"), "");
    EXPECT_EQ(store_.Cookies().Count(), 0);
}

TEST_F(CookieStore, ExpiresDateExpiresWithTheClock) {
    Store("SID=abc; path=/; expires=" + Date(3600));
    clock_.AdvanceSeconds(3599);
    EXPECT_EQ(CookieFor("site", "/"), "SID=abc");
    clock_.AdvanceSeconds(2);
    EXPECT_EQ(CookieFor("site", "/"), "");
}

TEST_F(CookieStore, ReplacementTakesTheValueAndDropsTheExpiry) {
    Store("SID=abc; path=/");
    Store("SID=xyz; path=/; expires=" + Date(3600));
    ASSERT_EQ(store_.Cookies().Count(), 1);
    const TIdNetscapeCookie& stored = store_.Cookies()[0];
    EXPECT_EQ(stored.Value, "xyz");
    // The rebuilt text of an RFC 2109 cookie carries no expiry, so none is kept.
    EXPECT_EQ(stored.ExpiresText(), "");
    EXPECT_EQ(stored.CookieText(), "SID=xyz; path=/; domain=site");
    EXPECT_EQ(stored.Flavor, TIdNetscapeCookie::kRFC2109Flavor);
    clock_.AdvanceSeconds(7200);
    EXPECT_EQ(CookieFor("site", "/"), "SID=xyz");
}

TEST_F(CookieStore, ReplacementWithMaxAgeKeepsTheComputedExpiry) {
    Store("SID=abc; path=/");
    Store("SID=xyz; path=/; max-age=60");
    ASSERT_EQ(store_.Cookies().Count(), 1);
    EXPECT_EQ(store_.Cookies()[0].ExpiresText(), "Mon, 8 Dec 2025 20:06:09 +0800");
    EXPECT_EQ(store_.Cookies()[0].Flavor, TIdNetscapeCookie::kNetscapeFlavor);
    clock_.AdvanceSeconds(61);
    EXPECT_EQ(CookieFor("site", "/"), "");
}

TEST_F(CookieStore, NamesCompareIgnoringCaseAndKeepTheirPlace) {
    Store("A=0; path=/");
    Store("SID=1; path=/");
    Store("Z=9; path=/");
    Store("sid=2; path=/");
    ASSERT_EQ(store_.Cookies().Count(), 3);
    const TIdNetscapeCookie& replaced = store_.Cookies()[1];
    EXPECT_EQ(replaced.CookieName, "sid");
    EXPECT_EQ(replaced.Value, "2");
    EXPECT_EQ(replaced.CookieText(), "sid=2; path=/; domain=site");
    EXPECT_EQ(CookieFor("site", "/"), "Z=9; sid=2; A=0");
    // Replacing with an empty value keeps the name (the cookie is then not sent).
    Store("SID=; path=/");
    EXPECT_EQ(store_.Cookies()[1].CookieName, "SID");
    EXPECT_EQ(CookieFor("site", "/"), "Z=9; A=0");
}

TEST_F(CookieStore, HostsMaySetOnlyTheirOwnCookies) {
    EXPECT_TRUE(Store("A=1; path=/; domain=site", "site"));
    EXPECT_FALSE(Store("B=1; path=/; domain=site", "shop.site"));
    EXPECT_TRUE(Store("C=1; path=/; domain=.example-domain", "shop.example-domain"));
    EXPECT_FALSE(Store("D=1; path=/; domain=.example-domain", "a.shop.example-domain"));
    EXPECT_FALSE(Store("E=1; path=/; domain=example-domain", "shop.example-domain"));
    EXPECT_TRUE(Store("F=1; path=/", "127.0.0.1"));
    EXPECT_FALSE(Store("G=1; path=/; domain=.0.0.1", "127.0.0.1"));
    EXPECT_EQ(store_.Cookies().Count(), 3);
    EXPECT_EQ(CookieFor("127.0.0.1", "/"), "F=1");
    EXPECT_EQ(CookieFor("shop.example-domain", "/"), "C=1");
}

TEST(CookieDomainMatch, HostIsTheDomainOrBelowItAtALabelBoundary) {
    struct Case {
        const char* host;
        const char* domain;
        bool matches;
    };
    const Case cases[] = {
        {"example.test", "example.test", true},
        {"www.example.test", "example.test", true},
        {"www.example.test", ".example.test", true},
        {"example.test", ".example.test", true},
        {"EXAMPLE.Test", "example.TEST", true},
        // A bare substring was a leak: "ample.test" must not reach "example.test".
        {"example.test", "ample.test", false},
        {"xexample.test", "example.test", false},
        {"example.test.evil", "example.test", false},
        {"example.test", "www.example.test", false},
        {"10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", "0.0.1", false},
        {"10.0.0.1", ".0.0.1", false},
        {"site", "", false},
        {"site.", ".", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CookieDomainMatches(c.host, c.domain), c.matches)
            << "host " << c.host << " domain " << c.domain;
    }
}

TEST_F(CookieStore, CookieOfOneSiteNeverReachesASiteWhoseNameMerelyContainsIt) {
    ASSERT_TRUE(Store("SID=leak; path=/", "ample.test"));
    EXPECT_EQ(CookieFor("example.test", "/"), "");
    EXPECT_EQ(CookieFor("ample.test", "/"), "SID=leak");
    EXPECT_EQ(CookieFor("WWW.Ample.Test", "/"), "SID=leak");
}

TEST_F(CookieStore, ResponseStoresSetCookieThenSetCookie2InHeaderOrder) {
    TIdHeaderList headers;
    headers.Add("set-cookie2: V2=1; path=/; Port=\"80\"");
    headers.Add("Set-Cookie: A=1; path=/");
    headers.Add("Content-Type: text/html");
    headers.Add("SET-COOKIE: B=2;");
    headers.Add(" path=/");  // a continuation line belongs to the value
    store_.StoreResponseCookies(headers, "site");
    ASSERT_EQ(store_.Cookies().Count(), 3);
    EXPECT_EQ(store_.Cookies()[0].CookieName, "A");
    EXPECT_EQ(store_.Cookies()[1].CookieName, "B");
    EXPECT_EQ(store_.Cookies()[1].Path, "/");
    EXPECT_EQ(store_.Cookies()[2].CookieName, "V2");
    const auto* rfc2965 = dynamic_cast<const TIdCookieRFC2965*>(&store_.Cookies()[2]);
    ASSERT_NE(rfc2965, nullptr);
    EXPECT_EQ(rfc2965->PortList, std::vector<std::int32_t>{80});
    EXPECT_EQ(dynamic_cast<const TIdCookieRFC2965*>(&store_.Cookies()[0]), nullptr);
    EXPECT_EQ(CookieFor("site", "/"), "V2=1; B=2; A=1");
}

TEST_F(CookieStore, BadPortListFailsAndKeepsWhatWasStoredBefore) {
    TIdHeaderList headers;
    headers.Add("Set-Cookie: A=1; path=/");
    headers.Add("Set-Cookie2: BAD=1; path=/; Port=\"80,x\"");
    headers.Add("Set-Cookie2: LATER=1; path=/");
    try {
        store_.StoreResponseCookies(headers, "site");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
    }
    ASSERT_EQ(store_.Cookies().Count(), 1);
    EXPECT_EQ(CookieFor("site", "/"), "A=1");
}

TEST_F(CookieStore, OneResponseStoresAtMostFiftyCookies) {
    TIdHeaderList headers;
    for (int i = 0; i < 60; ++i) {
        headers.Add("Set-Cookie: C" + std::to_string(i) + "=v; path=/");
    }
    headers.Add("Set-Cookie2: LAST=v; path=/");
    store_.StoreResponseCookies(headers, "site");
    ASSERT_EQ(store_.Cookies().Count(), 50);
    EXPECT_EQ(store_.Cookies()[0].CookieName, "C0");
    EXPECT_EQ(store_.Cookies()[49].CookieName, "C49");

    // The bound counts Set-cookie2 values too.
    TIdCookieManager other(clock_.Clock());
    TIdHeaderList mixed;
    for (int i = 0; i < 49; ++i) {
        mixed.Add("Set-Cookie: M" + std::to_string(i) + "=v; path=/");
    }
    mixed.Add("Set-Cookie2: N0=v; path=/");
    mixed.Add("Set-Cookie2: N1=v; path=/");
    other.StoreResponseCookies(mixed, "site");
    ASSERT_EQ(other.Cookies().Count(), 50);
    EXPECT_EQ(other.Cookies()[49].CookieName, "N0");
}

TEST_F(CookieStore, ADomainKeepsItsNewestFiftyCookies) {
    for (int response = 0; response < 3; ++response) {
        TIdHeaderList headers;
        for (int i = 0; i < 50; ++i) {
            headers.Add("Set-Cookie: R" + std::to_string(response) + "_" + std::to_string(i) +
                        "=v; path=/");
        }
        store_.StoreResponseCookies(headers, "site");
    }
    ASSERT_EQ(store_.Cookies().Count(), 50);
    ASSERT_EQ(store_.Cookies().CookiesAt(0).Count(), 50);
    EXPECT_EQ(store_.Cookies()[0].CookieName, "R2_0");
    EXPECT_EQ(store_.Cookies()[49].CookieName, "R2_49");
    // Replacing a known name evicts nothing.
    Store("R2_0=new; path=/");
    EXPECT_EQ(store_.Cookies().Count(), 50);
    EXPECT_EQ(store_.Cookies()[0].Value, "new");
}

TEST_F(CookieStore, NameOrValueWithAControlByteIsIgnored) {
    // Sent back, such a byte would break the "Cookie" header of every later request.
    EXPECT_FALSE(Store(std::string("NUL=a\0b; path=/", 15)));
    EXPECT_FALSE(Store("CR=a\rb; path=/"));
    EXPECT_FALSE(Store("DEL=a\x7F; path=/"));
    EXPECT_FALSE(Store("N\x01=v; path=/"));
    EXPECT_TRUE(Store("TAB=a\tb; path=/"));
    EXPECT_TRUE(Store("GBK=\xD6\xD0; path=/"));
    EXPECT_EQ(CookieFor("site", "/"), "GBK=\xD6\xD0; TAB=a\tb");
}

TEST_F(CookieStore, NewCookieHandlerMayVeto) {
    std::vector<std::string> offered;
    store_.OnNewCookie = [&](const TIdNetscapeCookie& cookie) {
        offered.push_back(cookie.CookieName);
        return cookie.CookieName != "TRACK";
    };
    EXPECT_TRUE(Store("SID=1; path=/"));
    EXPECT_FALSE(Store("TRACK=1; path=/"));
    EXPECT_FALSE(Store("X=1; path=/; domain=elsewhere"));  // refused before the handler
    EXPECT_EQ(offered, (std::vector<std::string>{"SID", "TRACK"}));
    EXPECT_EQ(CookieFor("site", "/"), "SID=1");
}

TEST_F(CookieStore, WriterOfTheStoreMayBuildTheValueWithoutDeadlock) {
    // Building the value purges under the write lock and then reads; a thread that already
    // holds the write lock (a store shared between clients, say) must get through.
    Store("A=1; path=/");
    Store("OLD=1; path=/; expires=Thu, 01 Dec 1994 16:00:00 GMT");
    WriteLockGuard hold(store_.Cookies().Lock());
    EXPECT_EQ(CookieFor("site", "/"), "A=1");
    EXPECT_EQ(store_.Cookies().Count(), 1);
}

TEST_F(CookieStore, ConcurrentStoringAndBuildingStayConsistent) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 200; ++i) {
                store_.StoreCookie("T" + std::to_string(t) + "=" + std::to_string(i) + "; path=/",
                                   "site", TIdCookieClass::ccRFC2109);
                store_.BuildCookieValue("site", "/", false);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(store_.Cookies().Count(), 3);
    const std::string value = CookieFor("site", "/");
    for (const char* pair : {"T0=199", "T1=199", "T2=199"}) {
        EXPECT_NE(value.find(pair), std::string::npos) << value;
    }
    EXPECT_EQ(value.size(), std::string("T0=199; T1=199; T2=199").size()) << value;
}

TEST(CookieClientStore, MadeOnTheFirstResponseOnlyWhenAllowed) {
    TIdHeaderList response;
    response.Add("Set-Cookie: SID=abc; path=/");

    TIdClientCookieStore refused;
    refused.StoreResponseCookies(false, response, "site");
    EXPECT_EQ(refused.Manager(), nullptr);
    EXPECT_EQ(refused.CookieValueFor("site", "/"), "");

    TIdClientCookieStore allowed;
    EXPECT_EQ(allowed.CookieValueFor("site", "/"), "");
    // Even a response without cookies makes the store.
    allowed.StoreResponseCookies(true, TIdHeaderList(), "site");
    ASSERT_NE(allowed.Manager(), nullptr);
    EXPECT_TRUE(allowed.OwnsManager());
    TIdCookieManager* own = allowed.Manager();
    allowed.StoreResponseCookies(true, response, "site");
    EXPECT_EQ(allowed.Manager(), own);
    EXPECT_EQ(allowed.CookieValueFor("site", "/"), "SID=abc");
    EXPECT_EQ(allowed.CookieValueFor("other", "/"), "");
}

TEST(CookieClientStore, AssignedStoreIsUsedRegardlessAndReplacesTheOwnOne) {
    TIdHeaderList response;
    response.Add("Set-Cookie: SID=abc; path=/");

    TIdClientCookieStore client;
    client.StoreResponseCookies(true, response, "site");
    ASSERT_TRUE(client.OwnsManager());

    TIdCookieManager shared;
    client.Assign(&shared);
    EXPECT_EQ(client.Manager(), &shared);
    EXPECT_FALSE(client.OwnsManager());
    // The own store is gone with its cookies; the assigned one is used even when cookies are
    // not allowed.
    EXPECT_EQ(client.CookieValueFor("site", "/"), "");
    client.StoreResponseCookies(false, response, "site");
    EXPECT_EQ(shared.Cookies().Count(), 1);
    EXPECT_EQ(client.CookieValueFor("site", "/"), "SID=abc");

    // Without a store again, the next allowed response makes a new own one.
    client.Assign(nullptr);
    EXPECT_EQ(client.CookieValueFor("site", "/"), "");
    client.StoreResponseCookies(true, TIdHeaderList(), "site");
    EXPECT_TRUE(client.OwnsManager());
    EXPECT_NE(client.Manager(), &shared);
    EXPECT_EQ(shared.Cookies().Count(), 1);
}

}  // namespace
}  // namespace velomaris
