// The HTTP client against servers that misbehave as real ones do: bodies cut off by a close,
// chunked trailers, lengths that cannot be trusted, compressed bodies nobody asked for, a
// kept-open connection the server gave up, and a fetch that trickles.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "http/IdHTTP.h"
#include "net/IdWait.h"
#include "tests/http/HttpClientTestSupport.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/Trickle.h"

namespace velomaris {
namespace {

using namespace httptest;
using namespace std::chrono_literals;

// Runs a GET that must fail with E and returns its message.
template <typename E>
std::string ExpectFetchError(TIdHTTP& http, const std::string& url) {
    TMemoryStream stream;
    try {
        http.GetToStream(url, stream);
    } catch (const E& e) {
        return e.Message();
    } catch (const Exception& e) {
        ADD_FAILURE() << "another error: " << e.Message();
        return "";
    }
    ADD_FAILURE() << "the fetch succeeded with " << stream.Bytes().size() << " bytes";
    return "";
}

// A server that answers one request with the response and closes; the GET must fail with E.
// Returns its message; the client is left for the caller to look at.
template <typename E>
std::string FetchErrorForResponse(TIdHTTP& http, const std::string& response) {
    ScriptedPeer peer;
    peer.Accept().ExpectBytes(RequestHead(peer)).Send(response).Close();
    peer.Start();
    std::string message = ExpectFetchError<E>(http, Url(peer));
    EXPECT_TRUE(peer.Finish());
    return message;
}

TEST(HttpTruncationTest, ABodyThatEndsEarlyIsAnErrorNamingBothCounts) {
    struct Row {
        const char* what;
        std::string response;
        const char* message;
    };
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
    const Row rows[] = {
        {"length, most of the body missing",
         head + "Content-Length: 5000\r\n\r\n" + std::string(100, 'x'),
         "The connection closed after 100 of 5000 announced body bytes"},
        {"length, no byte of the body", head + "Content-Length: 5000\r\n\r\n",
         "The connection closed after 0 of 5000 announced body bytes"},
        {"chunked, closed before the last chunk", chunked + "5\r\nhello\r\n",
         "The connection closed after 5 of 5 announced body bytes, before the last chunk"},
        {"chunked, closed inside a chunk", chunked + "5\r\nhello\r\na\r\nabc",
         "The connection closed after 8 of 15 announced body bytes, before the last chunk"},
        {"chunked, closed inside a size line", chunked + "5\r\nhello\r\n1",
         "The connection closed after 5 of 5 announced body bytes, before the last chunk"},
        {"chunked, closed after a chunk's data", chunked + "5\r\nhello",
         "The connection closed after 5 of 5 announced body bytes, before the last chunk"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TIdHTTP http;
        EXPECT_EQ(FetchErrorForResponse<EIdHTTPBodyTruncated>(http, row.response), row.message);
        EXPECT_FALSE(http.IsConnected());
    }
}

TEST(HttpTruncationTest, ACompleteChunkedBodyWithoutTheFinalBlankLineStillCounts) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n")
        .Close();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(peer)), "hello");
    EXPECT_TRUE(peer.Finish());
}

// Trailer fields are read to their blank line, so the next response on the connection starts
// where it should.
TEST(HttpTrailerTest, TrailersAreSkippedAndTheConnectionServesTheNextRequest) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send(
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n"
            "X-Checksum: 1234\r\nX-Other: yes\r\n\r\n")
        .ExpectBytes(RequestHead(peer))
        .Send(Ok())
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    EXPECT_EQ(Get(http, Url(peer)), "hello");
    EXPECT_EQ(Get(http, Url(peer)), "ok");
    http.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.ConnectionCount(), 1);
}

TEST(HttpTrailerTest, EndlessTrailersAreRefusedLikeAnEndlessHead) {
    std::string trailers;
    for (int i = 0; i <= TIdCustomHTTP::kMaxHeaderLines; ++i) {
        trailers += "X-T: " + std::to_string(i) + "\r\n";
    }
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n" + trailers)
        .ExpectEof();
    peer.Start();
    TIdHTTP http;
    ExpectFetchError<EIdHTTPResponseTooLarge>(http, Url(peer));
    EXPECT_FALSE(http.IsConnected());
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpContentLengthTest, ALengthThatCannotBeTrustedIsAnError) {
    struct Row {
        const char* headers;
        const char* message;
    };
    const Row rows[] = {
        {"Content-Length: -5\r\n", "The response's Content-Length \"-5\" is not one valid length"},
        {"Content-Length: abc\r\n",
         "The response's Content-Length \"abc\" is not one valid length"},
        {"Content-Length: 5\r\nContent-Length: 6\r\n",
         "The response's Content-Length \"6\" is not one valid length"},
        {"Content-Length: 5, 6\r\n",
         "The response's Content-Length \"5, 6\" is not one valid length"},
        {"Content-Length: +5\r\n", "The response's Content-Length \"+5\" is not one valid length"},
        {"Content-Length: \r\n", "The response's Content-Length \"\" is not one valid length"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.headers);
        ScriptedPeer peer;
        peer.Accept()
            .ExpectBytes(RequestHead(peer))
            .Send(std::string("HTTP/1.1 200 OK\r\n") + row.headers + "\r\nhello world")
            .ExpectEof();
        peer.Start();
        TIdHTTP http;
        EXPECT_EQ(ExpectFetchError<EIdHTTPInvalidContentLength>(http, Url(peer)), row.message);
        EXPECT_FALSE(http.IsConnected()) << "the rest of the response is not left unread";
        EXPECT_TRUE(peer.Finish());
    }
}

TEST(HttpContentLengthTest, TheSameLengthRepeatedIsOneLength) {
    for (const char* headers :
         {"Content-Length: 5\r\nContent-Length: 5\r\n", "Content-Length: 5, 5\r\n"}) {
        SCOPED_TRACE(headers);
        ScriptedPeer peer;
        peer.Accept()
            .ExpectBytes(RequestHead(peer))
            .Send(std::string("HTTP/1.1 200 OK\r\n") + headers + "\r\nhello")
            .ExpectEof();
        peer.Start();
        TIdHTTP http;
        EXPECT_EQ(Get(http, Url(peer)), "hello");
        EXPECT_TRUE(http.IsConnected());
        http.CloseConnection();
        EXPECT_TRUE(peer.Finish());
    }
}

// Compresses text with zlib in the given wrapper (window bits as for deflateInit2).
std::string Compress(const std::string& text, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

constexpr int kGzip = 15 + 16;
constexpr int kZlib = 15;
constexpr int kRaw = -15;

std::string Response(const std::string& coding, const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Encoding: " + coding +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(HttpContentCodingTest, GzipAndDeflateBodiesAreDecoded) {
    const std::string page = "<html><body>" + std::string(3000, 'a') + "\xd2\xb3</body></html>";
    struct Row {
        const char* coding;
        std::string body;
    };
    const Row rows[] = {
        {"gzip", Compress(page, kGzip)},
        {"x-gzip", Compress(page, kGzip)},
        {"GZIP", Compress(page, kGzip)},
        {"deflate", Compress(page, kZlib)},
        {"deflate", Compress(page, kRaw)},
        {"identity", page},
        {"gzip, identity", Compress(page, kGzip)},
        {"deflate, gzip", Compress(Compress(page, kZlib), kGzip)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.coding);
        ScriptedPeer peer;
        // The request asks for no coding: the head is the plain one.
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(Response(row.coding, row.body)).Close();
        peer.Start();
        TIdHTTP http;
        EXPECT_EQ(Get(http, Url(peer)), page);
        EXPECT_TRUE(peer.Finish());
    }
}

TEST(HttpContentCodingTest, ABodyThatCannotBeDecodedIsAnError) {
    const std::string gzip = Compress("<html>page</html>", kGzip);
    struct Row {
        const char* what;
        std::string response;
        const char* message;
    };
    const Row rows[] = {
        {"an unknown coding", Response("br", "xxxx"),
         "The response's content coding \"br\" is not supported"},
        {"one unknown coding of two", Response("gzip, compress", gzip),
         "The response's content coding \"compress\" is not supported"},
        {"gzip that is not gzip", Response("gzip", "<html>plain</html>"),
         "The gzip response body is damaged or incomplete"},
        {"gzip cut short", Response("gzip", gzip.substr(0, gzip.size() - 10)),
         "The gzip response body is damaged or incomplete"},
        {"deflate that is not deflate", Response("deflate", std::string(40, '\xff')),
         "The deflate response body is damaged or incomplete"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TIdHTTP http;
        EXPECT_EQ(FetchErrorForResponse<EIdHTTPContentEncodingError>(http, row.response),
                  row.message);
    }
}

TEST(HttpContentCodingTest, ADecompressionBombStopsAtTheBodyLimit) {
    const std::string bomb = Compress(std::string(8 * 1024 * 1024, '\0'), kGzip);
    ASSERT_LT(bomb.size(), 64u * 1024);
    ScriptedPeer peer;
    peer.Accept().ExpectBytes(RequestHead(peer)).Send(Response("gzip", bomb)).Close();
    peer.Start();
    TIdHTTP http;
    http.MaxBodyBytes = 1024 * 1024;
    EXPECT_EQ(ExpectFetchError<EIdHTTPResponseTooLarge>(http, Url(peer)),
              "The response body is larger than 1048576 bytes");
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpContentCodingTest, AnErrorResponseKeepsItsProtocolError) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 404 Not Found\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nxxxx")
        .Close();
    peer.Start();
    TIdHTTP http;
    TMemoryStream stream;
    const EIdHTTPProtocolException error =
        ExpectProtocolError([&] { http.GetToStream(Url(peer), stream); });
    EXPECT_EQ(error.ReplyCode(), 404);
    EXPECT_EQ(error.ErrorBody(), "");
    EXPECT_TRUE(peer.Finish());
}

// The server gives up the kept-open connection just as the next request goes out.
TEST(HttpKeepAliveTest, AStaleConnectionIsReplacedOnceTransparently) {
    struct Row {
        const char* what;
        bool reset;
    };
    for (const Row row : {Row{"closed", false}, Row{"reset", true}}) {
        SCOPED_TRACE(row.what);
        ScriptedPeer peer;
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(Ok()).ExpectBytes(RequestHead(peer));
        if (row.reset) {
            peer.Reset();
        } else {
            peer.Close();
        }
        peer.Accept().ExpectBytes(RequestHead(peer)).Send(Ok("X-Second: yes\r\n")).ExpectEof();
        peer.Start();
        TIdHTTP http;
        EXPECT_EQ(Get(http, Url(peer)), "ok");
        EXPECT_EQ(Get(http, Url(peer)), "ok");
        EXPECT_EQ(http.Response().HeaderLines.HeaderValue("X-Second"), "yes");
        http.CloseConnection();
        EXPECT_TRUE(peer.Finish());
        EXPECT_EQ(peer.ConnectionCount(), 2);
    }
}

TEST(HttpKeepAliveTest, NoFurtherAttemptWhenItCannotHelp) {
    struct Row {
        const char* what;
        bool firstRequestOnTheConnection;
        const char* partialAnswer;
        bool replacementClosesToo;
        int connections;
    };
    const Row rows[] = {
        {"a new connection closed at once", true, "", false, 1},
        {"a reused connection that began to answer", false, "HTTP/1.1 2", false, 1},
        {"a replacement that is closed too: tried only once", false, "", true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedPeer peer;
        peer.Accept();
        if (!row.firstRequestOnTheConnection) {
            peer.ExpectBytes(RequestHead(peer)).Send(Ok());
        }
        peer.ExpectBytes(RequestHead(peer)).Send(row.partialAnswer).Close();
        if (row.replacementClosesToo) {
            peer.Accept().ExpectBytes(RequestHead(peer)).Close();
        }
        peer.Start();
        TIdHTTP http;
        if (!row.firstRequestOnTheConnection) {
            EXPECT_EQ(Get(http, Url(peer)), "ok");
        }
        TMemoryStream stream;
        EXPECT_THROW(http.GetToStream(Url(peer), stream), EIdException);
        EXPECT_TRUE(peer.Finish());
        EXPECT_EQ(peer.ConnectionCount(), row.connections);
    }
}

TEST(HttpDeadlineTest, AFetchThatTricklesEndsAtItsBound) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")
        .Do([](ScriptedPeer& p) { Trickle(p.CurrentSocket(), "x", 20ms, 5s); });
    peer.Start();
    TIdHTTP http;
    http.SetReadTimeout(1000);
    http.OperationTimeout = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExpectFetchError<EIdOperationTimeout>(http, Url(peer)),
              "The operation did not finish within 0.3 seconds");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(http.IsConnected());
    peer.Finish();
}

TEST(HttpPortTest, APortOutsideTheRangeIsRefusedBeforeConnecting) {
    for (const char* url :
         {"http://127.0.0.1:0/", "http://127.0.0.1:65536/", "http://127.0.0.1:70000/index.php"}) {
        SCOPED_TRACE(url);
        TIdHTTP http;
        ExpectFetchError<EIdInvalidPort>(http, url);
    }
}

// The same against PHP's built-in server, which really does send what a script declares.
TEST(HttpRealServerRobustnessTest, PhpPagesThatAreCutShortOrCompressed) {
    PhpServerFixture php(R"PHP(<?php
$page = '<html><body>' . str_repeat('dynamic ', 500) . '</body></html>';
switch (parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH)) {
case '/cut':
    header('Content-Length: 5000');
    echo substr($page, 0, 100);
    break;
case '/gzip':
    header('Content-Encoding: gzip');
    echo gzencode($page);
    break;
case '/deflate':
    header('Content-Encoding: deflate');
    echo gzcompress($page);
    break;
case '/brotli':
    header('Content-Encoding: br');
    echo $page;
    break;
default:
    echo $page;
}
)PHP");
    const std::string page = "<html><body>" + [] {
        std::string text;
        for (int i = 0; i < 500; ++i) {
            text += "dynamic ";
        }
        return text;
    }() + "</body></html>";
    TIdHTTP http;
    EXPECT_EQ(Get(http, php.Url("/plain")), page);
    EXPECT_EQ(Get(http, php.Url("/gzip")), page);
    EXPECT_EQ(Get(http, php.Url("/deflate")), page);
    EXPECT_EQ(ExpectFetchError<EIdHTTPBodyTruncated>(http, php.Url("/cut")),
              "The connection closed after 100 of 5000 announced body bytes");
    EXPECT_EQ(ExpectFetchError<EIdHTTPContentEncodingError>(http, php.Url("/brotli")),
              "The response's content coding \"br\" is not supported");
}

}  // namespace
}  // namespace velomaris
