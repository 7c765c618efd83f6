// The headless browser engine behind TWebBrowser, against real servers on 127.0.0.1: PHP's
// built-in web server for pages, redirects and errors, the scripted peer for servers that
// stall, reset or close. Completions arrive through the message loop of the headless harness;
// the engine's worker does real I/O, so the tests wait for its posted event in real time,
// within a bound.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/HeadlessBrowserEngine.h"
#include "platform/Files.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Form.h"
#include "platform/ui/Memo.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/HttpsServerFixture.h"
#include "tests/support/LoopbackSocket.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TlsTestCertificates.h"
#include "tests/support/Trickle.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

// The page served at /page: GBK text with CR LF line breaks after a doctype.
const std::string kPageBody =
    "<!DOCTYPE html>\r\n<html>\r\n<head><title>\xD6\xD0\xCE\xC4</title></head>\r\n"
    "<body>\xCA\xD7\xD2\xB3</body>\r\n</html>\r\n";
const std::string kPageHtml =
    "<html>\r\n<head><title>\xD6\xD0\xCE\xC4</title></head>\r\n"
    "<body>\xCA\xD7\xD2\xB3</body>\r\n</html>\r\n";

const char* const kRouter = R"PHP(<?php
$uri = $_SERVER['REQUEST_URI'];
$path = parse_url($uri, PHP_URL_PATH);
parse_str((string) parse_url($uri, PHP_URL_QUERY), $query);
switch ($path) {
case '/page':
    header('Content-Type: text/html; charset=gbk');
    readfile(__DIR__ . '/page.html');
    break;
case '/r1':
    header('Location: /r2', true, 302);
    break;
case '/r2':
    header('Location: r3', true, 301);
    break;
case '/r3':
    header('Location: http://127.0.0.1:' . $_SERVER['SERVER_PORT'] . '/final?x=1#frag', true, 307);
    break;
case '/final':
    header('Content-Type: text/html');
    echo '<html><body>' . $uri . '</body></html>';
    break;
case '/created':
    header('Location: /elsewhere', true, 201);
    header('Content-Type: text/html');
    echo '<html><body>created</body></html>';
    break;
case '/login':
    setcookie('session', 'abc', 0, '/');
    header('Location: /member', true, 302);
    break;
case '/member':
    header('Content-Type: text/html');
    echo '<html><body>' . ($_COOKIE['session'] ?? 'none') . '</body></html>';
    break;
case '/hop':
    $n = (int) $query['n'];
    if ($n > 0) {
        header('Location: /hop?n=' . ($n - 1), true, 302);
    } else {
        header('Content-Type: text/html');
        echo '<html><body>arrived</body></html>';
    }
    break;
case '/error':
    http_response_code(500);
    header('Content-Type: text/html');
    echo '<html><body>Internal Server Error</body></html>';
    break;
case '/text':
    header('Content-Type: text/plain');
    echo '<html><body>plain text</body></html>';
    break;
case '/image':
    header('Content-Type: image/png');
    echo "\x89PNG\r\n\x1a\n";
    break;
case '/utf8':
    header('Content-Type: text/html; charset=utf-8');
    echo "\xEF\xBB\xBF<!doctype html><html><body>\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80</body></html>";
    break;
case '/slow':
    touch(__DIR__ . '/slow-started');
    usleep(1000000);
    header('Content-Type: text/html');
    echo '<html><body>slow</body></html>';
    break;
default:
    http_response_code(404);
    echo '<html><body>Not Found</body></html>';
}
)PHP";

class BrowserForm : public TForm {
public:
    explicit BrowserForm(TApplication& app)
        : TForm(app, "Form1", "Browser"), WebBrowser1(*this, "WebBrowser1"), Memo5(this, "Memo5") {}

    TWebBrowser WebBrowser1;
    TMemo Memo5;
};

// A port on 127.0.0.1 that nobody listens on.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class HeadlessBrowserEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new PhpServerFixture(kRouter, 4); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        server_->Root().Write("page.html", kPageBody);
        UseEngine({});
        form_.WebBrowser1.OnDocumentComplete = [this] {
            seen_.push_back(form_.WebBrowser1.DocumentHtml());
        };
    }

    void UseEngine(THeadlessBrowserEngine::TOptions options) {
        form_.WebBrowser1.UseEngine(std::make_unique<THeadlessBrowserEngine>(options));
    }

    // Runs the loop until the browser has reported count documents in all, or the time is up.
    bool WaitForCompletions(size_t count, std::chrono::milliseconds limit = 15s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            harness_.RunPending();
            if (seen_.size() >= count) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
    }

    // Navigates and returns the page HTML of the one document-complete that follows.
    std::string Open(const std::string& url) {
        const size_t before = seen_.size();
        form_.WebBrowser1.Navigate(url);
        EXPECT_TRUE(WaitForCompletions(before + 1)) << url;
        return seen_.size() > before ? seen_[before] : std::string("(no completion)");
    }

    // A template as the main window loads it beside the program.
    std::string Shipped(const std::string& name) {
        form_.Memo5.LoadFromFile(ProgramDirectory() + name);
        return form_.Memo5.Text();
    }

    static PhpServerFixture* server_;
    HeadlessHarness harness_;
    BrowserForm& form_ = harness_.App().CreateForm<BrowserForm>();
    // The page HTML at each document-complete, in order.
    std::vector<std::string> seen_;
};

PhpServerFixture* HeadlessBrowserEngineTest::server_ = nullptr;

TEST_F(HeadlessBrowserEngineTest, APageIsItsDocumentFromTheRootElementOnAsReceived) {
    EXPECT_EQ(form_.WebBrowser1.DocumentHtml(), THeadlessBrowserEngine::BlankPageHtml());
    EXPECT_EQ(Open(server_->Url("/page")), kPageHtml);
    EXPECT_EQ(form_.WebBrowser1.DocumentHtml(), kPageHtml);
    // A UTF-8 page reads as GBK; what GBK lacks is a character reference.
    EXPECT_EQ(Open(server_->Url("/utf8")), "<html><body>\xD6\xD0\xCE\xC4 &#128512;</body></html>");
    EXPECT_EQ(Open("about:blank"), THeadlessBrowserEngine::BlankPageHtml());
    // Nothing more than one document-complete per navigation.
    EXPECT_FALSE(WaitForCompletions(seen_.size() + 1, 200ms));
}

TEST_F(HeadlessBrowserEngineTest, RedirectsAreFollowedAndResolvedAgainstTheAddressThatGaveThem) {
    // 302 to an absolute path, 301 to a relative one, 307 to a full address with a fragment.
    EXPECT_EQ(Open(server_->Url("/r1")), "<html><body>/final?x=1</body></html>");
    // A cookie set on the way is sent on within the navigation, and not to the next one.
    EXPECT_EQ(Open(server_->Url("/login")), "<html><body>abc</body></html>");
    EXPECT_EQ(Open(server_->Url("/member")), "<html><body>none</body></html>");
    // A "Location" on a page that is no redirect is not followed: the page shows.
    EXPECT_EQ(Open(server_->Url("/created")), "<html><body>created</body></html>");
}

TEST_F(HeadlessBrowserEngineTest, TenRedirectsAreFollowedAndAnEleventhShowsTheErrorPage) {
    EXPECT_EQ(Open(server_->Url("/hop?n=10")), "<html><body>arrived</body></html>");
    EXPECT_EQ(Open(server_->Url("/hop?n=11")), Shipped("checkweb2.html"));
}

TEST_F(HeadlessBrowserEngineTest, ASiteThatCannotBeReachedShowsTheFirstTemplate) {
    const std::string unreachable = Shipped("checkweb.html");
    ASSERT_NE(unreachable, "");
    EXPECT_EQ(unreachable, THeadlessBrowserEngine::UnreachablePageHtml());
    const std::string addresses[] = {
        "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/index.php",  // refused
        "http://velomaris-no-such-site.invalid/index.php",                  // name not found
        "https://127.0.0.1:" + std::to_string(server_->Port()) + "/page",   // no TLS server
        "ftp://127.0.0.1/index.html",                                       // not a web address
    };
    for (const std::string& address : addresses) {
        EXPECT_EQ(Open(address), unreachable) << address;
    }
}

TEST_F(HeadlessBrowserEngineTest, HttpsPagesLoadAndACertificateFailureShowsTheFirstTemplate) {
    TlsTestCertificates certificates;
    testing::ScopedEnvironment environment;
    environment.Set("SSL_CERT_FILE", certificates.CaFile());
    HttpsServerFixture good(certificates.CertFile("good"), certificates.KeyFile("good"));
    const std::string securePage = "<html><body>PAGE over https</body></html>";
    EXPECT_EQ(Open(good.SecureUrl("/page")), securePage);
    // A site that moved to https: the redirect from http is followed across the schemes.
    EXPECT_EQ(Open(good.PlainUrl("/to?url=" + good.SecureUrl("/page"))), securePage);
    // A certificate that is not accepted: the browser could not reach the site.
    HttpsServerFixture expired(certificates.CertFile("expired"), certificates.KeyFile("expired"));
    EXPECT_EQ(Open(expired.SecureUrl("/page")), Shipped("checkweb.html"));
    EXPECT_EQ(Open(good.PlainUrl("/to?url=" + expired.SecureUrl("/page"))),
              Shipped("checkweb.html"));
}

TEST_F(HeadlessBrowserEngineTest, ANewerNavigationEndsAWaitingTlsHandshakeAtOnce) {
    ASSERT_EQ(Open(server_->Url("/page")), kPageHtml);
    // A peer that accepts the connection and never answers the TLS hello.
    LoopbackSocket silent;
    silent.Listen(4);
    form_.WebBrowser1.Navigate("https://127.0.0.1:" + std::to_string(silent.Port()) + "/");
    pollfd pending{silent.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pending, 1, 10000), 1) << "the engine never connected";
    const auto start = std::chrono::steady_clock::now();
    form_.WebBrowser1.Navigate(server_->Url("/final"));
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(seen_[1], "<html><body>/final</body></html>");
    // Well within the 30 seconds the handshake would otherwise wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(WaitForCompletions(3, 300ms));
}

TEST_F(HeadlessBrowserEngineTest, AnHttpErrorOrAResourceThatIsNoPageShowsTheSecondTemplate) {
    const std::string errorPage = Shipped("checkweb2.html");
    ASSERT_NE(errorPage, "");
    EXPECT_EQ(errorPage, THeadlessBrowserEngine::ErrorResponsePageHtml());
    EXPECT_NE(errorPage, Shipped("checkweb.html"));
    for (const char* path : {"/error", "/missing", "/text", "/image"}) {
        EXPECT_EQ(Open(server_->Url(path)), errorPage) << path;
    }
}

TEST_F(HeadlessBrowserEngineTest, ANewerNavigationSupersedesTheOneInProgress) {
    ASSERT_EQ(Open(server_->Url("/page")), kPageHtml);
    // The slow page answers after a second; the second navigation starts once the server is
    // working on the first request.
    std::remove(server_->Root().File("slow-started").c_str());
    form_.WebBrowser1.Navigate(server_->Url("/slow"));
    EXPECT_EQ(form_.WebBrowser1.DocumentHtml(), kPageHtml);  // still the previous document
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(server_->Root().File("slow-started")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    form_.WebBrowser1.Navigate(server_->Url("/final"));
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(seen_[1], "<html><body>/final</body></html>");
    // Long enough for the slow page to have come: it never reports.
    EXPECT_FALSE(WaitForCompletions(3, 1500ms));
    EXPECT_EQ(form_.WebBrowser1.DocumentHtml(), "<html><body>/final</body></html>");
}

TEST_F(HeadlessBrowserEngineTest, AServerThatStallsResetsOrSaysNothingShowsTheFirstTemplate) {
    THeadlessBrowserEngine::TOptions options;
    options.readTimeoutMs = 300;
    options.navigationTimeoutMs = 1000;
    UseEngine(options);
    const std::string unreachable = Shipped("checkweb.html");
    struct Case {
        const char* what;
        std::function<void(ScriptedPeer&)> script;
    };
    const Case cases[] = {
        {"stalls", [](ScriptedPeer& peer) { peer.Accept().ReadToEof(); }},
        {"resets", [](ScriptedPeer& peer) { peer.Accept().ExpectLine("GET / HTTP/1.1").Reset(); }},
        {"closes", [](ScriptedPeer& peer) { peer.Accept().ExpectLine("GET / HTTP/1.1").Close(); }},
        {"stalls in the body",
         [](ScriptedPeer& peer) {
             peer.Accept()
                 .ExpectLine("GET / HTTP/1.1")
                 .Send(
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n<ht")
                 .ReadToEof();
         }},
        {"closes in the body",
         [](ScriptedPeer& peer) {
             peer.Accept()
                 .ExpectLine("GET / HTTP/1.1")
                 .Send(
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n<ht")
                 .Close();
         }},
        {"trickles the body, never silent for a whole read time-out",
         [](ScriptedPeer& peer) {
             peer.Accept()
                 .ExpectLine("GET / HTTP/1.1")
                 .Send(
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\n<ht")
                 .Do([](ScriptedPeer& p) { Trickle(p.CurrentSocket(), "m", 100ms, 4s); });
         }},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        c.script(peer);
        peer.Start();
        EXPECT_EQ(Open("http://127.0.0.1:" + std::to_string(peer.Port()) + "/"), unreachable)
            << c.what;
        peer.Finish();
    }
}

// A listener on 127.0.0.1 whose accept queue is full: the system drops further SYNs, so a
// connect to it is never answered (a silent host, without leaving the machine).
class FullListener {
public:
    FullListener() {
        listener_.Listen(0);
        const sockaddr_in& address = listener_.Address();
        // Connections that are never accepted fill the queue; the first that cannot complete
        // at once shows it is full.
        for (int i = 0; i < 8; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            clients_.push_back(client);
            if (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                    0 &&
                errno == EINPROGRESS) {
                pollfd entry{client, POLLOUT, 0};
                if (::poll(&entry, 1, 200) == 0) {
                    full_ = true;
                    break;
                }
            }
        }
    }
    ~FullListener() {
        for (int client : clients_) {
            ::close(client);
        }
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int Port() const { return listener_.Port(); }
    bool Full() const { return full_; }

private:
    LoopbackSocket listener_;
    bool full_ = false;
    std::vector<int> clients_;
};

TEST_F(HeadlessBrowserEngineTest, AConnectThatIsNeverAnsweredEndsAtTheConnectTimeOut) {
    THeadlessBrowserEngine::TOptions options;
    options.connectTimeoutMs = 300;
    UseEngine(options);
    FullListener silent;
    ASSERT_TRUE(silent.Full());
    // Without its own limit the connect would wait for the system's (minutes).
    EXPECT_EQ(Open("http://127.0.0.1:" + std::to_string(silent.Port()) + "/"),
              Shipped("checkweb.html"));
}

TEST_F(HeadlessBrowserEngineTest, DestroyingTheEngineEndsAStalledNavigationWithoutAReport) {
    ScriptedPeer peer;
    peer.Accept().ReadToEof();
    peer.Start();
    form_.WebBrowser1.Navigate("http://127.0.0.1:" + std::to_string(peer.Port()) + "/");
    // Wait until the request is under way, then replace (destroy) the engine: it must not
    // wait for the 30-second read limit.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (peer.Received().find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_NE(peer.Received().find("GET / HTTP/1.1\r\n"), std::string::npos);
    const auto start = std::chrono::steady_clock::now();
    form_.WebBrowser1.SetEngine(std::make_unique<TBlankBrowserEngine>());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(peer.Finish());  // the engine closed its connection
    EXPECT_FALSE(WaitForCompletions(1, 200ms));
}

}  // namespace
}  // namespace velomaris
