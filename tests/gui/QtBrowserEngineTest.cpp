// The QtWebEngine engine behind the browser contract, against real local servers: what the
// site check reads back for a site that cannot be reached, an HTTP error, a resource that is no
// HTML document, a real page and a redirect.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/QtBrowserEngine.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Application.h"
#include "platform/ui/Form.h"
#include "platform/ui/qt/QtBackend.h"
#include "tests/gui/GuiWait.h"
#include "tests/support/LoopbackSocket.h"
#include "tests/support/PhpServerFixture.h"

namespace velomaris {
namespace {

constexpr char kRouter[] = R"php(<?php
$path = parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH);
if ($path === '/missing') { http_response_code(404); echo "<html><body>not here</body></html>"; return; }
if ($path === '/broken') { http_response_code(500); echo "<html><body>oops</body></html>"; return; }
if ($path === '/plain') { header('Content-Type: text/plain'); echo "just text"; return; }
if ($path === '/moved') { header('Location: /page?from=moved', true, 302); return; }
header('Content-Type: text/html; charset=utf-8');
echo "<!DOCTYPE html>\n<html><head><title>t</title></head><body><p id=\"m\">page " . ($_GET['from'] ?? 'direct') . "</p></body></html>";
)php";

// A template as shipped beside the test binary.
std::string ReadShipped(const std::string& name) {
    std::ifstream file(ProgramDirectory() + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class QtBrowserEngineTest : public ::testing::Test {
protected:
    QtBrowserEngineTest() : backend(argc, argv, clock), app(backend, clock), form(app, "Form", "") {
        browser = std::make_unique<TWebBrowser>(form, "WebBrowser1");
        browser->UseEngine(std::make_unique<TQtBrowserEngine>(ProgramDirectory()));
        browser->OnDocumentComplete = [this] { ++completions; };
    }

    // Navigates and runs the loop until the document is complete; returns its HTML.
    std::string Load(const std::string& url) {
        const int before = completions;
        browser->Navigate(url);
        EXPECT_TRUE(WaitUntil([&] {
            app.DispatchPosted();
            return completions > before;
        })) << url;
        return browser->DocumentHtml();
    }

    int argc = 1;
    char name[16] = "engine_tests";
    char* argv[2] = {name, nullptr};
    RealClock clock;
    TQtBackend backend;
    TApplication app;
    TForm form;
    std::unique_ptr<TWebBrowser> browser;
    int completions = 0;
};

TEST_F(QtBrowserEngineTest, UnreachableSitesAndErrorsReadBackTheShippedTemplatesExactly) {
    PhpServerFixture site(kRouter);
    LoopbackSocket closed;  // bound, never listening: a connection is refused
    const std::string unreachable = ReadShipped("checkweb.html");
    const std::string notAPage = ReadShipped("checkweb2.html");
    ASSERT_FALSE(unreachable.empty());
    ASSERT_FALSE(notAPage.empty());
    struct Case {
        std::string url;
        const std::string& expected;
    };
    const Case cases[] = {
        {"http://127.0.0.1:" + std::to_string(closed.Port()) + "/", unreachable},
        {"ftp://127.0.0.1/", unreachable},
        {site.Url("/missing"), notAPage},
        {site.Url("/broken"), notAPage},
        {site.Url("/plain"), notAPage},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(c.url), c.expected) << c.url;
    }
}

TEST_F(QtBrowserEngineTest, RealPageReadsBackItsDocumentAndRedirectsAreFollowed) {
    PhpServerFixture site(kRouter);
    const std::string page = Load(site.Url("/page"));
    EXPECT_EQ(page.rfind("<html>", 0), 0u) << page;
    EXPECT_NE(page.find("<p id=\"m\">page direct</p>"), std::string::npos) << page;

    const std::string moved = Load(site.Url("/moved"));
    EXPECT_NE(moved.find("<p id=\"m\">page moved</p>"), std::string::npos) << moved;
}

TEST_F(QtBrowserEngineTest, EachNavigationReportsOnceAndALaterOneSupersedesAnEarlier) {
    PhpServerFixture site(kRouter);
    browser->Navigate(site.Url("/page?from=first"));
    const std::string html = Load(site.Url("/moved"));
    EXPECT_NE(html.find("page moved"), std::string::npos) << html;
    // Let anything late arrive: the first navigation must not report after the second.
    const int settled = completions;
    WaitUntil(
        [&] {
            app.DispatchPosted();
            return false;
        },
        1500);
    EXPECT_EQ(completions, settled);
    EXPECT_NE(browser->DocumentHtml().find("page moved"), std::string::npos);
}

}  // namespace
}  // namespace velomaris
