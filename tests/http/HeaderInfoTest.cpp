#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/IdHTTPHeaderInfo.h"
#include "platform/Exception.h"

namespace velomaris {
namespace {

std::vector<std::string> NamesOf(const TIdHeaderList& list) {
    std::vector<std::string> names;
    for (const std::string& line : list.Lines()) {
        names.push_back(line.substr(0, line.find(':')));
    }
    return names;
}

TEST(RequestHeaderTest, DefaultRequestCarriesContentTypeAcceptAndUserAgent) {
    TIdHTTPRequest request;
    EXPECT_EQ(request.ContentLength(), -1);
    EXPECT_FALSE(request.ContentLengthGiven());
    EXPECT_EQ(request.HeaderLines.FoldWidth, 1024);
    EXPECT_EQ(request.CustomHeaders.FoldWidth, 78);
    request.Host = "site:8080";
    request.BuildHeaderLines();
    EXPECT_EQ(request.HeaderLines.Lines(),
              (std::vector<std::string>{"Content-Type: text/html", "Host: site:8080",
                                        "Accept: text/html, */*",
                                        "User-Agent: Mozilla/3.0 (compatible; Velomaris)"}));
}

TEST(RequestHeaderTest, HeadersAreBuiltInTheFixedOrder) {
    TIdRequestHeaderInfo request;
    request.Connection = "keep-alive";
    request.ContentVersion = "1";
    request.ContentEncoding = "gzip";
    request.ContentLanguage = "zh";
    request.SetContentLength(0);
    request.CacheControl = "no-cache";
    request.Date = ReadInternetDate("Thu, 01 Dec 1994 16:00:00 GMT");
    request.Expires = request.Date;
    request.Pragma = "no-cache";
    request.CustomHeaders.Add("X-Custom: 1");
    request.ProxyConnection = "close";
    request.Host = "h";
    request.AcceptCharSet = "gbk";
    request.AcceptEncoding = "identity";
    request.AcceptLanguage = "zh-cn";
    request.From = "me@h.invalid";
    request.Referer = "http://h/";
    request.LastModified = request.Date;
    request.ContentRangeStart = 5;
    request.BuildHeaderLines();
    EXPECT_EQ(NamesOf(request.HeaderLines), (std::vector<std::string>{"Connection",
                                                                      "Content-Version",
                                                                      "Content-Encoding",
                                                                      "Content-Language",
                                                                      "Content-Type",
                                                                      "Content-Length",
                                                                      "Cache-control",
                                                                      "Date",
                                                                      "Expires",
                                                                      "Pragma",
                                                                      "X-Custom",
                                                                      "Proxy-Connection",
                                                                      "Host",
                                                                      "Accept",
                                                                      "Accept-Charset",
                                                                      "Accept-Encoding",
                                                                      "Accept-Language",
                                                                      "From",
                                                                      "Referer",
                                                                      "User-Agent",
                                                                      "If-Modified-Since",
                                                                      "Range"}));
    EXPECT_EQ(request.HeaderLines.HeaderValue("Content-Length"), "0");
    EXPECT_EQ(request.HeaderLines.HeaderValue("Range"), "bytes=5-");
    EXPECT_EQ(request.HeaderLines.HeaderValue("Date"),
              FormatInternetDate(ReadInternetDate("Thu, 01 Dec 1994 16:00:00 GMT")));

    request.ContentRangeEnd = 9;
    request.BuildHeaderLines();
    EXPECT_EQ(request.HeaderLines.HeaderValue("Range"), "bytes=5-9");
}

TEST(RequestHeaderTest, CustomHeaderNamedLikeALaterStandardOneIsReplacedInPlace) {
    TIdHTTPRequest request;
    request.CustomHeaders.Add("User-Agent: custom");
    request.CustomHeaders.Add("X-Other: 1");
    request.BuildHeaderLines();
    EXPECT_EQ(request.HeaderLines.Lines(),
              (std::vector<std::string>{"Content-Type: text/html",
                                        "User-Agent: Mozilla/3.0 (compatible; Velomaris)",
                                        "X-Other: 1", "Accept: text/html, */*"}));
}

TEST(RequestHeaderTest, ClearResetsTheRequestButKeepsCacheControlPragmaAndCustomHeaders) {
    TIdHTTPRequest request;
    request.Accept = "x";
    request.AcceptCharSet = "y";
    request.UserAgent = "z";
    request.BasicAuthentication = true;
    request.ContentType = "text/plain";
    request.Connection = "close";
    request.SetContentLength(7);
    request.ContentRangeStart = 1;
    request.ContentRangeEnd = 2;
    request.Date = 1;
    request.CacheControl = "no-cache";
    request.Pragma = "no-cache";
    request.CustomHeaders.Add("X: 1");
    request.HeaderLines.Add("Old: 1");
    request.Clear();
    EXPECT_EQ(request.Accept, "text/html, */*");
    EXPECT_EQ(request.AcceptCharSet, "");
    EXPECT_EQ(request.UserAgent, "Mozilla/3.0 (compatible; Velomaris)");
    EXPECT_FALSE(request.BasicAuthentication);
    EXPECT_EQ(request.ContentType, "text/html");
    EXPECT_EQ(request.Connection, "");
    EXPECT_EQ(request.ContentLength(), -1);
    EXPECT_FALSE(request.ContentLengthGiven());
    EXPECT_EQ(request.ContentRangeStart, 0u);
    EXPECT_EQ(request.ContentRangeEnd, 0u);
    EXPECT_EQ(request.Date, 0);
    EXPECT_EQ(request.HeaderLines.Count(), 0);
    EXPECT_EQ(request.CacheControl, "no-cache");
    EXPECT_EQ(request.Pragma, "no-cache");
    EXPECT_EQ(request.CustomHeaders.Count(), 1);
}

TIdHTTPResponse& Parse(TIdHTTPResponse& response, const std::vector<std::string>& lines) {
    response.HeaderLines.Clear();
    for (const std::string& line : lines) {
        response.HeaderLines.Add(line);
    }
    response.ParseHeaderLines();
    return response;
}

TEST(ResponseHeaderTest, ContentLengthIsReadAsADecimalNumber) {
    struct Row {
        std::vector<std::string> lines;
        int expected;
    };
    const Row rows[] = {
        {{}, -1},
        {{"Content-Length: 0"}, 0},
        {{"Content-Length:   512  "}, 512},
        {{"content-length: 2147483647"}, 2147483647},
        {{"Content-Length: 2147483648"}, -1},
        {{"Content-Length: abc"}, -1},
        {{"Content-Length: 0x10"}, -1},
        {{"Content-Length: 1 2"}, -1},
    };
    for (const Row& row : rows) {
        TIdHTTPResponse response;
        Parse(response, row.lines);
        EXPECT_EQ(response.ContentLength(), row.expected) << testing::PrintToString(row.lines);
        EXPECT_EQ(response.ContentLengthGiven(), row.expected >= 0);
    }
}

TEST(ResponseHeaderTest, FieldsAreReadAndNothingOfThePreviousResponseSurvives) {
    TIdHTTPResponse response;
    Parse(response,
          {"Location: http://h/next", "Server: test", "Proxy-Connection: close",
           "Connection: keep-alive", "Content-Version: 2", "Content-Encoding: gzip",
           "Content-Language: zh", "Content-Type: text/html; charset=gbk", "Content-Length: 5",
           "Pragma: no-cache", "WWW-Authenticate: Basic realm=\"x\"",
           "WWW-Authenticate: Digest realm=\"y\"", "Proxy-Authenticate: Basic realm=\"p\"",
           "Content-Range: bytes 10-19/100", "Date: Thu, 01 Dec 1994 16:00:00 GMT",
           "Last-Modified: Thu, 01 Dec 1994 15:00:00 GMT"});
    EXPECT_EQ(response.Location, "http://h/next");
    EXPECT_EQ(response.Server, "test");
    EXPECT_EQ(response.ProxyConnection, "close");
    EXPECT_EQ(response.Connection, "keep-alive");
    EXPECT_EQ(response.ContentVersion, "2");
    EXPECT_EQ(response.ContentEncoding, "gzip");
    EXPECT_EQ(response.ContentLanguage, "zh");
    EXPECT_EQ(response.ContentType, "text/html; charset=gbk");
    EXPECT_EQ(response.ContentLength(), 5);
    EXPECT_EQ(response.Pragma, "no-cache");
    EXPECT_EQ(response.WWWAuthenticate.Lines(),
              (std::vector<std::string>{"Basic realm=\"x\"", "Digest realm=\"y\""}));
    EXPECT_EQ(response.ProxyAuthenticate.Lines(), (std::vector<std::string>{"Basic realm=\"p\""}));
    EXPECT_EQ(response.ContentRangeStart, 10u);
    EXPECT_EQ(response.ContentRangeEnd, 19u);
    EXPECT_EQ(response.Date, ReadInternetDate("Thu, 01 Dec 1994 16:00:00 GMT"));
    EXPECT_NEAR(response.Date - response.LastModified, 1.0 / 24, 1e-6);

    Parse(response, {"Content-Length: 1"});
    EXPECT_EQ(response.Location, "");
    EXPECT_EQ(response.Server, "");
    EXPECT_EQ(response.ProxyConnection, "");
    EXPECT_EQ(response.Connection, "");
    EXPECT_EQ(response.ContentType, "");
    EXPECT_EQ(response.Pragma, "");
    EXPECT_EQ(response.WWWAuthenticate.Count(), 0);
    EXPECT_EQ(response.ProxyAuthenticate.Count(), 0);
    EXPECT_EQ(response.Date, 0);
    EXPECT_EQ(response.LastModified, 0);
    // The range is only replaced by another "Content-Range".
    EXPECT_EQ(response.ContentRangeStart, 10u);
    EXPECT_EQ(response.ContentRangeEnd, 19u);
}

TEST(ResponseHeaderTest, AContentRangeThatIsNotANumberFails) {
    TIdHTTPResponse response;
    try {
        Parse(response, {"Content-Range: bytes */100"});
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'*/100' is not a valid integer value");
    }
}

TEST(ResponseHeaderTest, ExpiresIsSecondsFromNowOrADate) {
    const TIdDateTime now = 45000.5;
    struct Row {
        const char* value;
        TIdDateTime expected;
    };
    const Row rows[] = {
        {"0", now},
        {"172800", now + 2},
        {"-1", 0},
        {"Thu, 01 Dec 1994 16:00:00 GMT", ReadInternetDate("Thu, 01 Dec 1994 16:00:00 GMT")},
        {"soon", 0},
    };
    for (const Row& row : rows) {
        TIdHTTPResponse response;
        response.Now = [now] { return now; };
        Parse(response, {std::string("Expires: ") + row.value});
        EXPECT_NEAR(response.Expires, row.expected, 1e-9) << row.value;
    }
}

TEST(ProxyConnectionInfoTest, ClearEmptiesServerUserPasswordAndPort) {
    TIdProxyConnectionInfo proxy;
    EXPECT_EQ(proxy.ProxyServer(), "");
    EXPECT_EQ(proxy.ProxyPort(), 0);
    proxy.SetProxyServer("proxy.invalid");
    proxy.SetProxyPort(3128);
    proxy.ProxyUsername = "u";
    proxy.ProxyPassword = "p";
    proxy.BasicAuthentication = true;
    proxy.Clear();
    EXPECT_EQ(proxy.ProxyServer(), "");
    EXPECT_EQ(proxy.ProxyPort(), 0);
    EXPECT_EQ(proxy.ProxyUsername, "");
    EXPECT_EQ(proxy.ProxyPassword, "");
    EXPECT_TRUE(proxy.BasicAuthentication);
}

}  // namespace
}  // namespace velomaris
