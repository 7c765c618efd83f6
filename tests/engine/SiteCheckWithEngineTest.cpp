// The main window's site check with the headless engine in its page browser, templates loaded
// by the start-up sequence from the shipped files: the engine's error pages are recognised as
// failures, a real page as success. Compiled with GBK literals, like the main window, so the
// status texts compare as the program's own bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/Forms.h"
#include "app/HeadlessBrowserEngine.h"
#include "app/Unit1.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ui/Application.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/PhpServerFixture.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

const char* const kRouter = R"PHP(<?php
switch (parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH)) {
case '/index.php':
    header('Content-Type: text/html; charset=gbk');
    echo "<!DOCTYPE html>\r\n<html>\r\n<body>home</body>\r\n</html>\r\n";
    break;
case '/moved.php':
    header('Location: /index.php', true, 302);
    break;
case '/broken.php':
    http_response_code(500);
    echo '<html><body>error</body></html>';
    break;
default:
    http_response_code(404);
}
)PHP";

// A port on 127.0.0.1 that nobody listens on: the server's, after it has stopped.
int ClosedPort() {
    PhpServerFixture gone("<?php");
    return gone.Port();
}

TEST(SiteCheckWithEngineTest, TheEnginesErrorPagesFailTheCheckAndARealPagePassesIt) {
    const int closedPort = ClosedPort();
    PhpServerFixture site(kRouter);
    TempDir dir;
    const std::string beside = ProgramDirectory();
    for (const char* name : {kTemplateFile1, kTemplateFile2}) {
        std::filesystem::copy_file(beside + name, dir.File(name));
    }
    ScopedProgramDirectory programDirectory(dir.Path());

    HeadlessHarness harness;
    CreateForms(harness.App());
    TForm1& main = harness.App().Form<TForm1>();
    main.WebBrowser1.UseEngine(std::make_unique<THeadlessBrowserEngine>());
    main.Show();  // the start-up sequence loads the templates
    ASSERT_TRUE(harness.Messages().empty()) << ToString(harness.Messages().front());
    ASSERT_EQ(main.Memo5.Text(), THeadlessBrowserEngine::UnreachablePageHtml());
    ASSERT_EQ(main.Memo6.Text(), THeadlessBrowserEngine::ErrorResponsePageHtml());

    struct Case {
        std::string webmain;
        const char* status;
    };
    const Case cases[] = {
        {site.Url("/index.php"), kSiteOpenSucceeded},
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/index.php", kSiteOpenFailed},
        {site.Url("/broken.php"), kSiteOpenFailed},
        {site.Url("/moved.php"), kSiteOpenSucceeded},
        {"http://velomaris-no-such-site.invalid/", kSiteOpenFailed},
    };
    RealClock realClock;
    for (const Case& c : cases) {
        // The status line changes only when a check completes.
        main.Label7.SetCaption("");
        main.webmain = c.webmain;
        main.Button4.Click();
        // The engine's worker does real I/O: wait for its posted event, within a bound.
        const std::int64_t deadline = realClock.Now() + 15000;
        while (main.Label7.Caption().empty() && realClock.Now() < deadline) {
            harness.RunPending();
            ::usleep(2000);
        }
        EXPECT_EQ(main.Label7.Caption(), c.status) << c.webmain;
    }
}

}  // namespace
}  // namespace velomaris
