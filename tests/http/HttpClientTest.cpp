// The HTTP client against a scripted peer: request bytes, body framings, status handling,
// connection reuse and the bounds on what a server can make the client hold.
#include "http/IdHTTP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "tests/http/HttpClientTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

using namespace httptest;

TEST(HttpClientTest, ContentLengthBodyAndTheSecondRequestReusesTheConnection) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/dir/page.php"))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")
        .ExpectBytes(RequestHead(peer, "/dir/other.php?x=1"))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nworld!")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream("pre");
    stream.SetPosition(3);
    http.GetToStream(Url(peer, "/dir/page.php"), stream);
    EXPECT_EQ(stream.Bytes(), "prehello");
    EXPECT_EQ(stream.Position(), 8);
    EXPECT_TRUE(http.Response().KeepConnection);
    EXPECT_TRUE(http.IsConnected());
    EXPECT_EQ(http.ResponseCode(), 200);
    // A relative URL inherits host, port and directory.
    EXPECT_EQ(Get(http, "other.php?x=1"), "world!");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 1);
}

TEST(HttpClientTest, ConnectionCloseMakesTheNextRequestConnectAgain) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 5\r\n\r\nhello")
        .ExpectEof()
        .Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nbye")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(peer)), "hello");
    EXPECT_FALSE(http.Response().KeepConnection);
    EXPECT_FALSE(http.IsConnected());
    EXPECT_EQ(Get(http, Url(peer)), "bye");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 2);
}

TEST(HttpClientTest, Http10ClientAsksForKeepAliveAndKeepsOnlyWhenTheServerAgrees) {
    ScriptedPeer peer;
    const std::string head =
        "GET / HTTP/1.0\r\n"
        "Connection: keep-alive\r\n"
        "Content-Type: text/html\r\n"
        "Host: 127.0.0.1:" +
        std::to_string(peer.Port()) +
        "\r\n"
        "Accept: text/html, */*\r\n"
        "User-Agent: Mozilla/3.0 (compatible; Velomaris)\r\n\r\n";
    peer.Accept()
        .ExpectBytes(head)
        .Send("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nk1")
        .ExpectBytes(head)
        .Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nk2")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.ProtocolVersion = TIdHTTPProtocolVersion::pv1_0;
    EXPECT_EQ(Get(http, Url(peer)), "k1");
    EXPECT_TRUE(http.Response().KeepConnection);
    EXPECT_EQ(http.Response().StatusVersion, TIdHTTPProtocolVersion::pv1_0);
    // An HTTP/1.0 answer without "Connection: keep-alive" ends its connection.
    EXPECT_EQ(Get(http, Url(peer)), "k2");
    EXPECT_FALSE(http.Response().KeepConnection);
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 1);
}

// Each framing, sent whole and in random-sized pieces (where line readers break).
TEST(HttpClientTest, BodyFramings) {
    struct Row {
        const char* what;
        std::string response;
        bool serverCloses;
        std::string expected;
    };
    const Row rows[] = {
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         false, "hello"},
        {"several chunks, hex sizes",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhel\r\n2\r\nlo\r\n"
         "a\r\n0123456789\r\n0\r\n\r\n",
         false, "hello0123456789"},
        {"chunk extension",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;n=v\r\nhello\r\n0\r\n\r\n", false,
         "hello"},
        {"Chunked is not chunked: raw until close",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", true,
         "5\r\nhello\r\n0\r\n\r\n"},
        {"HTTP/1.0 without length until close", "HTTP/1.0 200 OK\r\n\r\nold page\r\n", true,
         "old page\r\n"},
        {"100 Continue skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false,
         "ok"},
        {"204 reads nothing", "HTTP/1.1 204 No Content\r\n\r\n", false, ""},
        {"Content-Length 0", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, ""},
        {"status without reason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\nx", false, "x"},
        {"folded header", "HTTP/1.1 200 OK\r\nX-Long: a\r\n b\r\nContent-Length: 1\r\n\r\ny", false,
         "y"},
        {"LF only line ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nLF", false, "LF"},
        {"binary body", std::string("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n\0\r\n\xFF", 43),
         false, std::string("\0\r\n\xFF", 4)},
    };
    for (const Row& row : rows) {
        for (bool pieces : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (pieces ? " (in pieces)" : ""));
            ScriptedPeer peer;
            peer.Accept().ExpectBytes(RequestHead(peer));
            if (pieces) {
                peer.SendInPieces(row.response, 42, 9);
            } else {
                peer.Send(row.response);
            }
            if (row.serverCloses) {
                peer.Close();
            } else {
                peer.ExpectEof();
            }
            peer.Start();
            TIdHTTP http;
            EXPECT_EQ(Get(http, Url(peer)), row.expected);
            EXPECT_EQ(http.Response().KeepConnection, !row.serverCloses);
            http.CloseConnection();
            EXPECT_TRUE(peer.Finish());
        }
    }
}

TEST(HttpClientTest, ServerClosingBeforeTheAnnouncedLengthIsAnError) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd")
        .Close();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream;
    try {
        http.GetToStream(Url(peer), stream);
        ADD_FAILURE() << "a truncated body was taken as the page";
    } catch (const EIdHTTPBodyTruncated& e) {
        EXPECT_EQ(e.Message(), "The connection closed after 4 of 10 announced body bytes");
    }
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, RedirectIsNotFollowedAndNothingMoreIsSent) {
    struct Row {
        const char* response;
        const char* message;
        int code;
    };
    const Row rows[] = {
        {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/x\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 302 Found", 302},
        {"HTTP/1.1 301 Moved Permanently\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 301 Moved Permanently", 301},
        {"HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 200 OK", 200},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        ScriptedPeer peer;
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(row.response).ExpectEof();
        peer.Start();
        TIdHTTP http;
        TMemoryStream stream;
        const EIdHTTPProtocolException error =
            ExpectProtocolError([&] { http.GetToStream(Url(peer), stream); });
        EXPECT_EQ(error.Message(), row.message);
        EXPECT_EQ(error.ReplyCode(), row.code);
        EXPECT_EQ(error.ErrorBody(), "abc");
        EXPECT_EQ(stream.Size(), 0);
        http.CloseConnection();
        EXPECT_TRUE(peer.Finish());
        EXPECT_EQ(peer.ConnectionCount(), 1);
    }
}

TEST(HttpClientTest, RedirectIsFollowedWhenAsked) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/old"))
        .Send("HTTP/1.1 302 Found\r\nLocation: /new\r\nContent-Length: 5\r\n\r\nstale")
        .ExpectBytes(RequestHead(peer, "/new"))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.HandleRedirects = true;
    TMemoryStream stream("keep");
    stream.SetPosition(4);
    http.GetToStream(Url(peer, "/old"), stream);
    EXPECT_EQ(stream.Bytes(), "keepfresh");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, NotFoundCarriesTheErrorBodyAndLeavesTheStreamAlone) {
    const std::string body = "<html>missing</html>";
    ASSERT_EQ(body.size(), 20u);
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/missing"))
        .Send("HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\n" + body)
        .ExpectBytes(RequestHead(peer, "/there"))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nhere")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream("old");
    stream.SetPosition(3);
    const EIdHTTPProtocolException error =
        ExpectProtocolError([&] { http.GetToStream(Url(peer, "/missing"), stream); });
    EXPECT_EQ(error.Message(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(error.ReplyCode(), 404);
    EXPECT_EQ(error.ErrorBody(), body);
    EXPECT_EQ(stream.Bytes(), "old");
    EXPECT_EQ(stream.Position(), 3);
    EXPECT_EQ(http.ReadTimeout(), 0);
    EXPECT_EQ(http.Response().BodyStream, &stream);
    // The client stays usable, on the same connection.
    EXPECT_EQ(Get(http, Url(peer, "/there")), "here");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 1);
}

TEST(HttpClientTest, NotModifiedWithoutLengthOnAnOpenConnectionTimesOutAfterTwoSeconds) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 304 Not Modified\r\n\r\n")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(http.GetToStream(Url(peer), stream), EIdReadTimeout);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(4500));
    EXPECT_EQ(http.ReadTimeout(), 0);
    // The response was not read to its end, so its connection is not kept.
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, StatusLineWithoutANumberIsAProtocolError) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    const EIdHTTPProtocolException error = ExpectProtocolError([&] { Get(http, Url(peer)); });
    EXPECT_EQ(error.Message(), "HTTP/1.1 OK");
    EXPECT_EQ(error.ReplyCode(), -1);
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, StatusCodeParsing) {
    struct Row {
        const char* line;
        int code;
    };
    const Row rows[] = {
        {"HTTP/1.1 200 OK", 200},
        {"HTTP/1.0 404 Not Found", 404},
        {"HTTP/1.1  302  Found", 302},
        {"HTTP/1.1 204", 204},
        {"HTTP/1.1 OK", -1},
        {"HTTP/1.1", -1},
        {"", -1},
        {"HTTP/1.1 -5 x", -1},
        {"HTTP/1.1 99999999999", -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TIdCustomHTTP::ParseStatusCode(row.line), row.code) << row.line;
    }
}

TEST(HttpClientTest, SuccessWhoseConnectionClosedDuringTheHeadIsUndefined) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n")
        .Close();
    peer.Start();
    TIdHTTP http;
    try {
        Get(http, Url(peer));
        FAIL() << "no exception";
    } catch (const EIdHTTPProtocolException&) {
        FAIL() << "protocol error instead of the undefined situation";
    } catch (const EIdException& error) {
        EXPECT_EQ(error.Message(), "Undefined situation");
    }
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, HttpsIsRefusedBeforeAnythingIsSent) {
    ScriptedPeer peer;
    peer.Start();
    TIdHTTP http;
    try {
        Get(http, "https://127.0.0.1:" + std::to_string(peer.Port()) + "/");
        FAIL() << "no exception";
    } catch (const EIdIOHandlerPropInvalid& error) {
        EXPECT_EQ(error.Message(), "IOHandler value is not valid");
    }
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 0);
}

TEST(HttpClientTest, AddressesThatCannotBeSentFailBeforeConnecting) {
    ScriptedPeer peer;
    peer.Start();
    const std::string base = "http://127.0.0.1:" + std::to_string(peer.Port());
    {
        TIdHTTP http;
        EXPECT_THROW(Get(http, base + "/a\r\nX-Injected: 1"), EIdURIException);
    }
    {
        TIdHTTP http;
        EXPECT_THROW(Get(http, "gopher://127.0.0.1/"), EIdUnknownProtocol);
    }
    {
        TIdHTTP http;
        try {
            Get(http, "http://127.0.0.1:abc/");
            FAIL() << "no exception";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Message(), "'abc' is not a valid integer value");
        }
    }
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 0);
}

TEST(HttpClientTest, HeaderLineWithALineBreakIsRefusedBeforeAnythingIsSent) {
    ScriptedPeer peer;
    peer.Accept().ExpectEof();
    peer.Start();
    TIdHTTP http;
    http.Request().CustomHeaders.Add("X-Note: a\r\nX-Injected: 1");
    try {
        Get(http, Url(peer));
        FAIL() << "no exception";
    } catch (const EIdHTTPInvalidRequestHeader& error) {
        EXPECT_EQ(error.Message(), "The request header \"X-Note\" holds a line break or NUL byte");
    }
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Received(), "");
}

TEST(HttpClientTest, ServerClosingBetweenRequestsIsNoticedAndTheClientReconnects) {
    ScriptedPeer peer;
    std::promise<void> closed;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst")
        .Close()
        .Do([&closed](ScriptedPeer&) { closed.set_value(); })
        .Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(peer)), "first");
    ASSERT_EQ(closed.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(Get(http, Url(peer)), "second");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 2);
}

TEST(HttpClientTest, AnotherHostOrPortClosesTheOldConnection) {
    ScriptedPeer first;
    ScriptedPeer second;
    first.Accept()
        .ExpectBytes(RequestHead(first))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1")
        .ExpectEof();
    second.Accept()
        .ExpectBytes(RequestHead(second))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n2")
        .ExpectEof();
    first.Start();
    second.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(first)), "1");
    EXPECT_EQ(Get(http, Url(second)), "2");
    EXPECT_TRUE(first.Finish());
    http.CloseConnection();
    EXPECT_TRUE(second.Finish());
}

TEST(HttpClientTest, ChunkSizeBeyondThirtyTwoBitsIsAnError) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000000\r\nabc")
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    try {
        Get(http, Url(peer));
        FAIL() << "no exception";
    } catch (const EIdHTTPInvalidChunkSize& error) {
        EXPECT_EQ(error.Message(), "The chunk size 80000000 does not fit in a 32-bit count");
    }
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, EndlessHeadersAreRefused) {
    std::string manyLines = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 5001; ++i) {
        manyLines += "X-A: b\r\n";
    }
    std::string bigLines = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 20; ++i) {
        bigLines += "X-Big: " + std::string(16000, 'x') + "\r\n";
    }
    std::string endlessContinues;
    for (int i = 0; i < 20000; ++i) {
        endlessContinues += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    for (const std::string& response : {manyLines, bigLines, endlessContinues}) {
        ScriptedPeer peer;
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(response).ReadToEof();
        peer.Start();
        TIdHTTP http;
        EXPECT_THROW(Get(http, Url(peer)), EIdHTTPResponseTooLarge);
        EXPECT_FALSE(http.IsConnected());
        EXPECT_TRUE(peer.Finish());
    }
}

TEST(HttpClientTest, BodiesBeyondTheCapAreRefused) {
    const std::string chunk = "258\r\n" + std::string(600, 'c') + "\r\n";
    const std::string responses[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + std::string(2000, 'a'),
        "HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'b'),
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk + chunk + chunk +
            "0\r\n\r\n",
    };
    for (const std::string& response : responses) {
        ScriptedPeer peer;
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(response).ReadToEof();
        peer.Start();
        TIdHTTP http;
        http.MaxBodyBytes = 1000;
        TMemoryStream stream;
        try {
            http.GetToStream(Url(peer), stream);
            ADD_FAILURE() << "no exception";
        } catch (const EIdHTTPResponseTooLarge& error) {
            EXPECT_EQ(error.Message(), "The response body is larger than 1000 bytes");
        }
        EXPECT_LE(stream.Size(), 1000);
        EXPECT_FALSE(http.IsConnected());
        EXPECT_TRUE(peer.Finish());
    }
}

// The hooks the cookie store and the authentication schemes fill in.
class HookRecordingHTTP : public TIdHTTP {
public:
    std::string cookieValue;
    std::vector<std::string> storedFrom;
    std::vector<std::string> cookieRequestsFor;
    int serverChallenges = 0;
    int proxyChallenges = 0;
    std::vector<bool> resets;
    int disconnects = 0;

protected:
    void StoreResponseCookies() override { storedFrom.push_back(Response().StatusLine); }
    std::string CookieValueFor(const TIdURI& address) override {
        cookieRequestsFor.push_back(address.Host + ":" + address.Port + address.Path +
                                    address.Document);
        return cookieValue;
    }
    bool HandleServerChallenge() override {
        ++serverChallenges;
        return false;
    }
    bool HandleProxyChallenge() override {
        ++proxyChallenges;
        return false;
    }
    void ResetAuthenticator(bool proxy) override { resets.push_back(proxy); }
    void DisconnectHook() override { ++disconnects; }
};

TEST(HttpClientTest, CookieHooksSeeEveryResponseHeadAndAddTheCookieHeader) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer, "/a/p.php"))
        .Send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")
        .ExpectBytes(RequestHead(peer, "/a/q.php", "Cookie: SID=abc; b=2\r\n"))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")
        .ExpectEof();
    peer.Start();
    HookRecordingHTTP http;
    Get(http, Url(peer, "/a/p.php"));
    http.cookieValue = "SID=abc; b=2";
    Get(http, "q.php");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(http.storedFrom, (std::vector<std::string>{"HTTP/1.1 100 Continue", "HTTP/1.1 200 OK",
                                                         "HTTP/1.1 200 OK"}));
    const std::string where = "127.0.0.1:" + std::to_string(peer.Port());
    EXPECT_EQ(http.cookieRequestsFor,
              (std::vector<std::string>{where + "/a/p.php", where + "/a/q.php"}));
}

TEST(HttpClientTest, ChallengesAreDeclinedThroughTheHooks) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send(
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
            "Content-Length: 4\r\n\r\ndeny")
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n")
        .ExpectEof();
    peer.Start();
    HookRecordingHTTP http;
    const EIdHTTPProtocolException unauthorized =
        ExpectProtocolError([&] { Get(http, Url(peer)); });
    EXPECT_EQ(unauthorized.ReplyCode(), 401);
    EXPECT_EQ(unauthorized.Message(), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(unauthorized.ErrorBody(), "deny");
    EXPECT_EQ(http.Response().WWWAuthenticate.Lines(),
              (std::vector<std::string>{"Basic realm=\"x\""}));
    const EIdHTTPProtocolException proxy = ExpectProtocolError([&] { Get(http, Url(peer)); });
    EXPECT_EQ(proxy.ReplyCode(), 407);
    EXPECT_EQ(http.serverChallenges, 1);
    EXPECT_EQ(http.proxyChallenges, 1);
    EXPECT_EQ(http.resets, (std::vector<bool>{false, true}));
    const int disconnectsBefore = http.disconnects;
    http.CloseConnection();
    EXPECT_EQ(http.disconnects, disconnectsBefore + 1);
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpClientTest, ServerClosingAfterTheHeadRunsTheDisconnectHook) {
    ScriptedPeer peer;
    peer.Accept().ExpectBytes(RequestHead(peer)).Send("HTTP/1.0 200 OK\r\n\r\nbody").Close();
    peer.Start();
    HookRecordingHTTP http;
    EXPECT_EQ(Get(http, Url(peer)), "body");
    EXPECT_GE(http.disconnects, 1);
    EXPECT_TRUE(peer.Finish());
}

}  // namespace
}  // namespace velomaris
