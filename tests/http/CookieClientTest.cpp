// Cookies through the HTTP client against a scripted server: what a response sets is sent
// back on later requests, in the right order, and only where it belongs.
#include <gtest/gtest.h>

#include <string>

#include "http/IdCookieManager.h"
#include "http/IdHTTP.h"
#include "platform/Exception.h"
#include "tests/http/CookieTestSupport.h"
#include "tests/http/HttpClientTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

using namespace httptest;

// The header line that carries these cookies in a request.
std::string CookieHeader(const std::string& cookies) {
    return "Cookie: " + cookies + "\r\n";
}

TEST(CookieClient, CookieOfTheFirstResponseGoesWithTheSecondRequest) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: SID=abc; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("SID=abc")))
        .Send(Ok())
        .ExpectBytes(RequestHead(peer, "/index.php", CookieHeader("SID=abc")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(http.CookieManager(), nullptr);
    EXPECT_EQ(Get(http, Url(peer)), "ok");
    ASSERT_NE(http.CookieManager(), nullptr);
    EXPECT_EQ(http.CookieManager()->Cookies().Count(), 1);
    EXPECT_EQ(http.CookieManager()->Cookies()[0].Domain, "127.0.0.1");
    EXPECT_EQ(Get(http, Url(peer)), "ok");
    EXPECT_EQ(Get(http, Url(peer, "/index.php")), "ok");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, LongerPathsFirstAndOnlyWhereThePathFits) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: A=1; path=/\r\nSet-Cookie: B=2; path=/sub/\r\n"))
        .ExpectBytes(RequestHead(peer, "/sub/x.php", CookieHeader("B=2; A=1")))
        .Send(Ok("Set-Cookie: C=3; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/x.php", CookieHeader("C=3; A=1")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    Get(http, Url(peer));
    Get(http, Url(peer, "/sub/x.php"));
    Get(http, Url(peer, "/x.php"));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, CookiesThatAreKeptButNeverSent) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: NOPATH=abc\r\n"
                 "Set-Cookie: SEC=abc; path=/; secure\r\n"
                 "Set-Cookie: EMPTY=; path=/\r\n"
                 "Set-Cookie: OLD=abc; path=/; expires=Thu, 01 Dec 1994 16:00:00 GMT\r\n"
                 "Set-Cookie: FOREIGN=abc; path=/; domain=.0.0.1\r\n"))
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    Get(http, Url(peer));
    // Stored: all but the foreign one (a dotted-quad host sets cookies only for itself).
    EXPECT_EQ(http.CookieManager()->Cookies().Count(), 4);
    Get(http, Url(peer));
    // The expired one was purged before the request.
    EXPECT_EQ(http.CookieManager()->Cookies().Count(), 3);
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, ReplacementIgnoresCaseAndDropsTheExpiry) {
    cookietest::ScopedTimeZone zone("CST-8");
    cookietest::ManualClock clock;
    TIdCookieManager store(clock.Clock());
    const std::string inOneHour = FormatInternetDate(clock.Now() + 1.0 / 24);

    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: SID=1; path=/\r\nSet-Cookie: LANG=zh; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("LANG=zh; SID=1")))
        .Send(Ok("Set-Cookie: sid=2; path=/; expires=" + inOneHour + "\r\n"))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("LANG=zh; sid=2")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.SetCookieManager(&store);
    Get(http, Url(peer));
    Get(http, Url(peer));
    // Two hours on, the replaced cookie is still sent: its expiry did not survive.
    clock.AdvanceSeconds(7200);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(store.Cookies().Count(), 2);
}

TEST(CookieClient, MaxAgeCookieIsPurgedOnceItsTimeIsUp) {
    cookietest::ScopedTimeZone zone("CST-8");
    cookietest::ManualClock clock;
    TIdCookieManager store(clock.Clock());

    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: SID=abc; path=/; max-age=60\r\n"))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("SID=abc")))
        .Send(Ok())
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.SetCookieManager(&store);
    Get(http, Url(peer));
    clock.AdvanceSeconds(59);
    Get(http, Url(peer));
    clock.AdvanceSeconds(2);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(store.Cookies().Count(), 0);
}

TEST(CookieClient, CookieOfAHostWhoseNameIsMerelyContainedIsNotSent) {
    // "27.0.0.1" is a substring of "127.0.0.1"; a bare substring test would leak it.
    TIdCookieManager store;
    ASSERT_TRUE(store.StoreCookie("LEAK=1; path=/", "27.0.0.1", TIdCookieClass::ccRFC2109));
    ASSERT_TRUE(store.StoreCookie("MINE=1; path=/", "127.0.0.1", TIdCookieClass::ccRFC2109));

    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("MINE=1")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.SetCookieManager(&store);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, OneResponseStoresAtMostFiftyCookies) {
    std::string setCookies;
    for (int i = 0; i < 60; ++i) {
        setCookies +=
            "Set-Cookie: C" + std::to_string(i) + "=" + std::to_string(i) + "; path=/\r\n";
    }
    // Same path, same domain: the later stored go first.
    std::string expected;
    for (int i = 49; i >= 0; --i) {
        expected +=
            (expected.empty() ? "" : "; ") + ("C" + std::to_string(i)) + "=" + std::to_string(i);
    }
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok(setCookies))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader(expected)))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    Get(http, Url(peer));
    EXPECT_EQ(http.CookieManager()->Cookies().Count(), 50);
    EXPECT_EQ(http.CookieManager()->BuildCookieValue("127.0.0.1", "/", false), expected);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, BadPortListInSetCookie2FailsTheFetchAndTheNextOneWorks) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(
            "HTTP/1.1 200 OK\r\n"
            "Set-Cookie: A=1; path=/\r\n"
            "Set-Cookie2: B=2; path=/; Port=\"80,x\"\r\n"
            "Content-Length: 2\r\n\r\nok")
        .ReadToEof()
        .Accept()
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("A=1")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream;
    try {
        http.GetToStream(Url(peer), stream);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(Get(http, Url(peer)), "ok");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, CookiesOfInterimAndErrorResponsesAreStoredToo) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send("HTTP/1.1 100 Continue\r\nSet-Cookie: EARLY=1; path=/\r\n\r\n" +
              Ok("Set-Cookie: LATE=2; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/missing", CookieHeader("LATE=2; EARLY=1")))
        .Send("HTTP/1.1 404 Not Found\r\nSet-Cookie: ERR=3; path=/\r\nContent-Length: 0\r\n\r\n")
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("ERR=3; LATE=2; EARLY=1")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    Get(http, Url(peer));
    TMemoryStream stream;
    EXPECT_THROW(http.GetToStream(Url(peer, "/missing"), stream), EIdHTTPProtocolException);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(CookieClient, WithoutAllowCookiesOnlyAnAssignedStoreIsUsed) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: SID=abc; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/"))
        .Send(Ok("Set-Cookie: SID=abc; path=/\r\n"))
        .ExpectBytes(RequestHead(peer, "/", CookieHeader("SID=abc")))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.AllowCookies = false;
    Get(http, Url(peer));
    EXPECT_EQ(http.CookieManager(), nullptr);
    TIdCookieManager store;
    http.SetCookieManager(&store);
    Get(http, Url(peer));
    EXPECT_EQ(store.Cookies().Count(), 1);
    Get(http, Url(peer));
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

}  // namespace
}  // namespace velomaris
