// A browser engine for tests: the test decides what each navigation yields and when its
// document-complete events arrive, on the application's (virtual) clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser/BrowserEngine.h"

namespace velomaris {

class TApplication;

class TScriptedBrowserEngine final : public TBrowserEngine {
public:
    // What a navigation yields: the document HTML (GBK), after how many milliseconds it
    // finishes, and how
    // many document-complete events it raises (one per frame plus one for the page).
    struct TPage {
        std::string html;
        std::int64_t delayMs = 0;
        int completions = 1;
    };
    // Returns the page for an address, or nothing to leave the navigation pending until the
    // test calls Finish.
    using Responder = std::function<std::optional<TPage>(const std::string& url)>;

    explicit TScriptedBrowserEngine(TApplication& app);
    ~TScriptedBrowserEngine() override;

    // Without a responder every navigation stays pending.
    void SetResponder(Responder responder) { responder_ = std::move(responder); }
    // Every navigation yields this page.
    void RespondWith(TPage page);

    // Finishes the pending navigation now: the document becomes html and the events are
    // queued on the loop. Raises std::logic_error when no navigation is pending.
    void Finish(const std::string& html, int completions = 1);
    // Queues one more document-complete event without changing the document.
    void RaiseDocumentComplete();
    // Replaces the current document without any event.
    void SetDocumentHtml(std::string html) { html_ = std::move(html); }

    // The next Navigate raises EWebBrowserError with this message (once).
    void FailNextNavigate(std::string message) { navigateFailure_ = std::move(message); }
    // Every DocumentHtml raises EWebBrowserError with this message until cleared (nullopt).
    void FailDocumentHtml(std::optional<std::string> message) { htmlFailure_ = std::move(message); }

    bool Silent() const { return silent_; }
    bool Pending() const { return pending_; }
    // Every address navigated to, in order.
    const std::vector<std::string>& Navigations() const { return navigations_; }

    void Attach(std::function<void()> documentComplete) override;
    void SetSilent(bool silent) override { silent_ = silent; }
    void Navigate(const std::string& url) override;
    std::string DocumentHtml() override;

private:
    void Complete(const std::string& html, int completions);

    TApplication& app_;
    std::function<void()> documentComplete_;
    Responder responder_;
    std::vector<std::string> navigations_;
    std::string html_;
    bool silent_ = false;
    bool pending_ = false;
    // Counts navigations, so a delayed completion of a superseded one is dropped.
    std::uint64_t generation_ = 0;
    std::optional<std::string> navigateFailure_;
    std::optional<std::string> htmlFailure_;
    // Delayed completions check it: the engine may be gone by then.
    std::shared_ptr<TScriptedBrowserEngine*> self_;
};

}  // namespace velomaris
