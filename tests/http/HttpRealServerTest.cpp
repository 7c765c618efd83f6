// The HTTP client against real servers from Debian's packages on loopback: PHP's built-in
// server for a dynamic page and a static file, nginx for keep-alive and chunked bodies. The
// stored bytes must equal what the server sent.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/support/FileBytes.h"
#include "tests/support/NginxServerFixture.h"
#include "tests/support/PhpServerFixture.h"

namespace velomaris {
namespace {

using testing::PatternBytes;

// Equal byte strings, or a short message naming the first difference (pages are large).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size()
           << ", first difference at byte " << at << ": \"" << actual.substr(at, 40)
           << "\" instead of \"" << expected.substr(at, 40) << "\"";
}

std::string Fetch(TIdHTTP& http, const std::string& url) {
    TMemoryStream stream;
    http.GetToStream(url, stream);
    return stream.Bytes();
}

// Splits the access log into lines "<connection> <request number> <status> "<request>"".
std::vector<std::string> LogLines(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// nginx writes a log line after the response has left: wait until count lines are there.
std::vector<std::string> WaitForLogLines(const NginxServerFixture& server, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::vector<std::string> lines = LogLines(server.AccessLog());
    while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
        // A real process writing its log: there is no clock to advance instead.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lines = LogLines(server.AccessLog());
    }
    return lines;
}

std::string ConnectionOf(const std::string& logLine) {
    return logLine.substr(0, logLine.find(' '));
}

const char* kRouter = R"php(<?php
if (strpos($_SERVER['REQUEST_URI'], '/dynamic.php') === 0) {
    header('Content-Type: text/html; charset=gbk');
    echo "<html>query=" . ($_SERVER['QUERY_STRING'] ?? '') . "\r\n";
    for ($i = 0; $i < 5000; $i++) {
        echo "line $i \xC4\xE3\xBA\xC3\r\n";
    }
    echo "</html>";
    return true;
}
return false;
)php";

std::string ExpectedDynamicPage(const std::string& query) {
    std::string page = "<html>query=" + query + "\r\n";
    for (int i = 0; i < 5000; ++i) {
        page += "line " + std::to_string(i) + " \xC4\xE3\xBA\xC3\r\n";
    }
    return page + "</html>";
}

TEST(HttpRealServerTest, PhpDynamicPageAndStaticFileArriveByteForByte) {
    PhpServerFixture server(kRouter);
    const std::string file = PatternBytes(300000);
    server.Root().Write("static.html", file);
    TIdHTTP http;
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/dynamic.php?a=1&b=%C4")),
                          ExpectedDynamicPage("a=1&b=%C4")));
    EXPECT_EQ(http.ResponseCode(), 200);
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/static.html")), file));
    EXPECT_TRUE(SameBytes(Fetch(http, "dynamic.php?again"), ExpectedDynamicPage("again")));
}

TEST(HttpRealServerTest, PhpNotFoundIsAProtocolError) {
    PhpServerFixture server(kRouter);
    TIdHTTP http;
    try {
        Fetch(http, server.Url("/missing.html"));
        FAIL() << "no exception";
    } catch (const EIdHTTPProtocolException& error) {
        EXPECT_EQ(error.ReplyCode(), 404);
        EXPECT_EQ(error.Message().rfind("HTTP/1.1 404 Not Found", 0), 0u) << error.Message();
        EXPECT_NE(error.ErrorBody().find("404"), std::string::npos);
    }
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/dynamic.php")), ExpectedDynamicPage("")));
}

TEST(HttpRealServerTest, NginxKeepsTheConnectionForTheNextRequest) {
    NginxServerFixture server;
    const std::string file = PatternBytes(1 << 20);
    server.WriteFile("big.html", file);
    server.WriteFile("index.html", "<html>home</html>");
    TIdHTTP http;
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/big.html")), file));
    EXPECT_TRUE(http.Response().KeepConnection);
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/")), "<html>home</html>"));
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/big.html")), file));
    const std::vector<std::string> lines = WaitForLogLines(server, 3);
    ASSERT_EQ(lines.size(), 3u) << server.AccessLog();
    EXPECT_EQ(lines[0].substr(lines[0].find(' ')), " 1 200 \"GET /big.html HTTP/1.1\"");
    EXPECT_EQ(lines[1].substr(lines[1].find(' ')), " 2 200 \"GET / HTTP/1.1\"");
    EXPECT_EQ(lines[2].substr(lines[2].find(' ')), " 3 200 \"GET /big.html HTTP/1.1\"");
    EXPECT_EQ(ConnectionOf(lines[0]), ConnectionOf(lines[2]));
}

TEST(HttpRealServerTest, NginxChunkedPageArrivesWhole) {
    NginxServerFixture server;
    std::string page = "<html>";
    for (int i = 0; i < 2000; ++i) {
        page += "<p>row " + std::to_string(i) + " \xC4\xE3</p>\r\n";
    }
    server.WriteFile("ssi/page.html", page + "<!--# echo var=\"none\" default=\"tail\" --></html>");
    TIdHTTP http;
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/ssi/page.html")), page + "tail</html>"));
    EXPECT_EQ(http.Response().HeaderLines.HeaderValue("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(http.Response().ContentLengthGiven());
    EXPECT_TRUE(http.Response().KeepConnection);
}

TEST(HttpRealServerTest, NginxNotFoundKeepsTheConnectionUsable) {
    NginxServerFixture server;
    server.WriteFile("index.html", "home");
    TIdHTTP http;
    try {
        Fetch(http, server.Url("/missing.html"));
        FAIL() << "no exception";
    } catch (const EIdHTTPProtocolException& error) {
        EXPECT_EQ(error.ReplyCode(), 404);
        EXPECT_EQ(error.Message(), "HTTP/1.1 404 Not Found");
        EXPECT_NE(error.ErrorBody().find("<title>404 Not Found</title>"), std::string::npos);
    }
    EXPECT_TRUE(SameBytes(Fetch(http, server.Url("/index.html")), "home"));
    const std::vector<std::string> lines = WaitForLogLines(server, 2);
    ASSERT_EQ(lines.size(), 2u) << server.AccessLog();
    EXPECT_EQ(ConnectionOf(lines[0]), ConnectionOf(lines[1]));
}

}  // namespace
}  // namespace velomaris
