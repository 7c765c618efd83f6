#include "http/IdURI.h"

#include <gtest/gtest.h>

#include <string>

#include "http/IdHTTPHeaderInfo.h"
#include "platform/Exception.h"

namespace velomaris {
namespace {

struct UriRow {
    std::string text;
    const char* protocol;
    const char* username;
    const char* password;
    const char* host;
    const char* port;
    const char* path;
    const char* document;
    const char* params;
    const char* bookmark;
};

TEST(URITest, SplitsUrlsIntoTheirParts) {
    const UriRow rows[] = {
        {"http://site/", "http", "", "", "site", "", "/", "", "", ""},
        {"http://site", "http", "", "", "site", "", "/", "", "", ""},
        {"http://user:secret@h:8080/a/b/c.php?x=1#top", "http", "user", "secret", "h", "8080",
         "/a/b/", "c.php", "?x=1", "top"},
        {"http://user@h/", "http", "user", "", "h", "", "/", "", "", ""},
        {"http://:pw@h/", "http", "", "", "h", "", "/", "", "", ""},
        {"http://h/dir/page=1", "http", "", "", "h", "", "/dir/", "page", "=1", ""},
        {"http://h/p/?a=1#x", "http", "", "", "h", "", "/p/", "", "?a=1", "x"},
        {"http://h/p/q#x?y", "http", "", "", "h", "", "/p/", "q", "?y", "x"},
        {"http://h/a?b/c", "http", "", "", "h", "", "/", "a", "?b/c", ""},
        {"HTTP://Host/", "HTTP", "", "", "Host", "", "/", "", "", ""},
        {"http://site/a\\b\\c.php", "http", "", "", "site", "", "/a/b/", "c.php", "", ""},
        {"ftp://h:21/", "ftp", "", "", "h", "21", "/", "", "", ""},
        {"http://h:/x", "http", "", "", "h", "", "/", "x", "", ""},
        {"site/index.php", "", "", "", "", "", "site/", "index.php", "", ""},
        {"index.php#top", "", "", "", "", "", "", "index.php#top", "", ""},
        {"/a/b?q=1#f", "", "", "", "", "", "/a/", "b", "?q=1", "f"},
        {"", "", "", "", "", "", "", "", "", ""},
        // A GBK character whose trail byte is 0x5C ("\") or 0x2F ("/") is kept whole.
        {"http://h/\xD5\x5C/\x81\x2F.htm", "http", "", "", "h", "", "/\xD5\x5C/", "\x81\x2F.htm",
         "", ""},
        {"http://h/a b/\xC4\xE3.php?q=\xBA\xC3", "http", "", "", "h", "", "/a b/", "\xC4\xE3.php",
         "?q=\xBA\xC3", ""},
    };
    for (const UriRow& row : rows) {
        TIdURI uri(row.text);
        SCOPED_TRACE(row.text);
        EXPECT_EQ(uri.Protocol, row.protocol);
        EXPECT_EQ(uri.Username, row.username);
        EXPECT_EQ(uri.Password, row.password);
        EXPECT_EQ(uri.Host, row.host);
        EXPECT_EQ(uri.Port, row.port);
        EXPECT_EQ(uri.Path, row.path);
        EXPECT_EQ(uri.Document, row.document);
        EXPECT_EQ(uri.Params, row.params);
        EXPECT_EQ(uri.Bookmark, row.bookmark);
    }
}

TEST(URITest, SetUriStoresTheNormalisedTextAndForgetsTheEarlierParse) {
    TIdURI uri("http://u:p@h:81/a/b.php?x#y");
    uri.SetURI("c\\d.htm");
    EXPECT_EQ(uri.URI, "c/d.htm");
    EXPECT_EQ(uri.Protocol, "");
    EXPECT_EQ(uri.Username, "");
    EXPECT_EQ(uri.Password, "");
    EXPECT_EQ(uri.Host, "");
    EXPECT_EQ(uri.Port, "");
    EXPECT_EQ(uri.Path, "c/");
    EXPECT_EQ(uri.Document, "d.htm");
    EXPECT_EQ(uri.Params, "");
    EXPECT_EQ(uri.Bookmark, "");
}

TEST(URITest, FullUriIsRebuiltOrRefusedWithoutProtocolOrHost) {
    EXPECT_EQ(TIdURI("http://u:p@h:81/a/b.php?x#y").GetFullURI(), "http://u:p@h:81/a/b.php?x#y");
    try {
        TIdURI("/a/b").GetFullURI();
        FAIL() << "no exception";
    } catch (const EIdURIException& error) {
        EXPECT_EQ(error.Message(), "Protocol field is empty");
    }
    TIdURI noHost;
    noHost.Protocol = "http";
    try {
        noHost.GetFullURI();
        FAIL() << "no exception";
    } catch (const EIdURIException& error) {
        EXPECT_EQ(error.Message(), "Host field is empty");
    }
}

TEST(URITest, MergePath) {
    struct Row {
        const char* base;
        const char* path;
        const char* expected;
    };
    const Row rows[] = {
        {"/a/b/", "../c/", "/a/c/"}, {"/a/", "x", "/a/x"},        {"", "", ""},
        {"", "a//b/./c", "a/b/./c"}, {"/a/b/", "/abs/", "/abs/"}, {"/a/b", "c", "/a/b/c"},
        {"/a/b/", "", "/a/b/"},      {"/", "../../x", "/x"},      {"/a/b/", "../../../", "/"},
        {"", "site/", "site/"},      {"/a/", "b/..x", "/a/x"},    {"/a//", "b//", "/a/b/"},
        {"/a/", "b/", "/a/b/"},      {"/a/", "b/c", "/a/b/c"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TIdURI::MergePath(row.base, row.path, "/"), row.expected)
            << "base \"" << row.base << "\", path \"" << row.path << "\"";
    }
}

// Resolves url against the address as the client does, returning target and Host value.
struct Resolved {
    std::string target;
    std::string host;
};

Resolved Resolve(TIdURI& current, TIdHTTPRequest& request, const std::string& url) {
    request.RequestURL = url;
    ResolveRequestTarget(current, request);
    return {request.RequestURL, request.Host};
}

TIdURI FreshAddress() {
    TIdURI address;
    address.Port = "80";
    return address;
}

TEST(ResolveTargetTest, TargetAndHostFollowTheUrlAndTheCurrentAddress) {
    struct Step {
        const char* url;
        const char* target;
        const char* host;
    };
    struct Sequence {
        const char* what;
        std::vector<Step> steps;
    };
    const Sequence sequences[] = {
        {"no slash after the host", {{"http://site", "/", "site"}}},
        {"port 8080 carries over",
         {{"http://site:8080/x.asp", "/x.asp", "site:8080"},
          {"http://site/x.asp", "/x.asp", "site:8080"},
          {"http://other:80/", "/", "other"},
          {"http://site/y", "/y", "site"}}},
        {"port written 080 is not 80", {{"http://site:080/", "/", "site:080"}}},
        {"https gets 443", {{"https://site/", "/", "site:443"}, {"http://site/", "/", "site"}}},
        {"upper-case scheme", {{"HTTP://Host/", "/", "Host"}}},
        {"backslashes", {{"http://site/a\\b\\c.php", "/a/b/c.php", "site"}}},
        {"relative without a host",
         {{"site/index.php", "site/index.php", ""}, {"http://h/d/", "/d/", "h"}}},
        {"relative paths merge",
         {{"http://h/a/b/page.php", "/a/b/page.php", "h"},
          {"c.php?x=1", "/a/b/c.php?x=1", "h"},
          {"../d/", "/a/d/", "h"},
          {"/root.htm", "/root.htm", "h"}}},
        {"bookmark and user never sent",
         {{"http://u:p@h/p/q#x?y", "/p/q?y", "h"}, {"http://h/p/?a=1#x", "/p/?a=1", "h"}}},
        {"explicit port with another scheme", {{"ftp://h:21/f", "/f", "h:21"}}},
        {"raw bytes kept", {{"http://h/a b/\xC4\xE3.php", "/a b/\xC4\xE3.php", "h"}}},
    };
    for (const Sequence& sequence : sequences) {
        TIdURI current = FreshAddress();
        TIdHTTPRequest request;
        for (const Step& step : sequence.steps) {
            const Resolved resolved = Resolve(current, request, step.url);
            EXPECT_EQ(resolved.target, step.target) << sequence.what << ": " << step.url;
            EXPECT_EQ(resolved.host, step.host) << sequence.what << ": " << step.url;
        }
    }
}

TEST(ResolveTargetTest, CredentialsInTheUrlReachTheRequestRecord) {
    TIdURI current = FreshAddress();
    TIdHTTPRequest request;
    Resolve(current, request, "http://user:pw@h/");
    EXPECT_EQ(request.Username, "user");
    EXPECT_EQ(request.Password, "pw");
    EXPECT_EQ(current.Username, "user");
    Resolve(current, request, "http://h/next");
    EXPECT_EQ(request.Username, "user");
    EXPECT_EQ(current.Password, "pw");
}

TEST(ResolveTargetTest, UnknownSchemeWithoutPortIsRefused) {
    TIdURI current = FreshAddress();
    TIdHTTPRequest request;
    try {
        Resolve(current, request, "ftp://h/file");
        FAIL() << "no exception";
    } catch (const EIdUnknownProtocol& error) {
        EXPECT_EQ(error.Message(), "");
    }
}

TEST(ResolveTargetTest, LineBreaksOrNulInTheAddressAreRefused) {
    const std::string urls[] = {
        "http://h/a\r\nX-Injected: 1",
        "http://h/a\nb",
        std::string("http://h/a\0b", 12),
        "http://h\r\nX: 1/",
    };
    for (const std::string& url : urls) {
        TIdURI current = FreshAddress();
        TIdHTTPRequest request;
        EXPECT_THROW(Resolve(current, request, url), EIdURIException) << url;
    }
}

}  // namespace
}  // namespace velomaris
