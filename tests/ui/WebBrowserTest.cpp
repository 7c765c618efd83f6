#include "platform/browser/WebBrowser.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/browser/ScriptedBrowserEngine.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "tests/support/HeadlessHarness.h"

namespace velomaris {
namespace {

using TPage = TScriptedBrowserEngine::TPage;

class WebBrowserTest : public ::testing::Test {
protected:
    WebBrowserTest() {
        browser.OnDocumentComplete = [this] { completions.push_back(browser.DocumentHtml()); };
    }

    HeadlessHarness harness;
    TForm& form = harness.App().CreateForm<TForm>("Form1", "Main");
    TWebBrowser browser{form, "WebBrowser1"};
    TScriptedBrowserEngine& engine =
        browser.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    // The HTML seen by each document-complete event.
    std::vector<std::string> completions;
};

TEST_F(WebBrowserTest, NavigateReturnsAtOnceAndTheEventComesThroughTheLoop) {
    engine.RespondWith(TPage{"<html><body>a</body></html>"});
    browser.Navigate("http://www.example.com/index.php");
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(browser.LocationURL(), "http://www.example.com/index.php");
    harness.RunPending();
    EXPECT_EQ(completions, (std::vector<std::string>{"<html><body>a</body></html>"}));
    EXPECT_EQ(engine.Navigations(), (std::vector<std::string>{"http://www.example.com/index.php"}));
}

TEST_F(WebBrowserTest, APageArrivesAfterItsDelayOnceForEachFrameAndForThePage) {
    browser.Navigate("http://a.invalid/");
    engine.Finish("<html>old</html>");
    harness.RunPending();
    completions.clear();

    engine.RespondWith(TPage{"<html>framed</html>", 1500, 3});
    browser.Navigate("http://b.invalid/");
    harness.Advance(1499);
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(browser.DocumentHtml(), "<html>old</html>");
    harness.Advance(1);
    EXPECT_EQ(completions, (std::vector<std::string>(3, "<html>framed</html>")));
}

TEST_F(WebBrowserTest, ANewNavigationSupersedesTheOneInProgress) {
    engine.SetResponder([](const std::string& url) {
        if (url == "http://slow.invalid/") {
            return std::optional<TPage>(TPage{"slow", 2000});
        }
        return std::optional<TPage>(TPage{"fast", 500});
    });
    browser.Navigate("http://slow.invalid/");
    harness.Advance(500);
    browser.Navigate("http://fast.invalid/");
    harness.Advance(5000);
    EXPECT_EQ(completions, (std::vector<std::string>{"fast"}));
    EXPECT_EQ(browser.DocumentHtml(), "fast");
}

TEST_F(WebBrowserTest, APendingNavigationWaitsForTheTest) {
    browser.Navigate("http://pending.invalid/");
    harness.Advance(60'000);
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(engine.Pending());
    engine.Finish("<html>error page</html>");
    EXPECT_TRUE(completions.empty());  // queued, not run inside Finish
    harness.RunPending();
    EXPECT_EQ(completions, (std::vector<std::string>{"<html>error page</html>"}));
    EXPECT_THROW(engine.Finish("again"), std::logic_error);
}

TEST_F(WebBrowserTest, SilenceReachesTheEngineWhateverTheOrder) {
    browser.SetSilent(true);
    EXPECT_TRUE(engine.Silent());
    auto& second = browser.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    EXPECT_TRUE(second.Silent());
}

TEST_F(WebBrowserTest, EngineFailuresRaiseWithTheEnginesMessage) {
    engine.FailNextNavigate("The operation failed");
    TButton button(&form, "Button4");
    button.OnClick = [&] { browser.Navigate("http://x.invalid/"); };
    harness.UserClick(button);
    ASSERT_EQ(harness.Messages().size(), 1u);
    EXPECT_EQ(harness.Messages()[0].text, "The operation failed.");
    EXPECT_EQ(harness.Messages()[0].icon, TMessageBoxIcon::mbError);
    engine.FailDocumentHtml("no document");
    EXPECT_THROW(browser.DocumentHtml(), EWebBrowserError);
}

TEST_F(WebBrowserTest, EventsOfAReplacedEngineOrADestroyedBrowserAreDropped) {
    browser.Navigate("http://x.invalid/");
    engine.Finish("old engine");
    browser.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    harness.RunPending();
    EXPECT_TRUE(completions.empty());

    auto other = std::make_unique<TWebBrowser>(form, "WebBrowser2");
    auto& otherEngine = other->UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    int otherCompletions = 0;
    other->OnDocumentComplete = [&] { ++otherCompletions; };
    otherEngine.RespondWith(TPage{"side", 100});
    other->Navigate("http://side.invalid/");
    other.reset();
    harness.Advance(1000);
    EXPECT_EQ(otherCompletions, 0);
}

TEST_F(WebBrowserTest, ABlankBrowserNeverCompletes) {
    TWebBrowser blank(form, "WebBrowser2");
    int events = 0;
    blank.OnDocumentComplete = [&] { ++events; };
    blank.Navigate("http://www.example.org/");
    harness.Advance(60'000);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(blank.DocumentHtml(), "");
}

// An engine that loads on a worker thread, as a real one does.
class ThreadedEngine final : public TBrowserEngine {
public:
    ~ThreadedEngine() override { Join(); }
    void Attach(std::function<void()> documentComplete) override { notify_ = documentComplete; }
    void SetSilent(bool) override {}
    void Navigate(const std::string&) override {
        Join();
        worker_ = std::thread([this] { notify_(); });
    }
    std::string DocumentHtml() override { return "threaded"; }
    void Join() {
        if (worker_.joinable()) {
            worker_.join();
        }
    }

private:
    std::function<void()> notify_;
    std::thread worker_;
};

TEST_F(WebBrowserTest, AnEngineThreadsCompletionIsDeliveredOnTheLoopThread) {
    auto& threaded = browser.UseEngine(std::make_unique<ThreadedEngine>());
    std::thread::id ranOn;
    browser.OnDocumentComplete = [&] { ranOn = std::this_thread::get_id(); };
    browser.Navigate("http://x.invalid/");
    threaded.Join();
    EXPECT_EQ(ranOn, std::thread::id{});
    harness.RunPending();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace velomaris
