// The embedded browser control: silence, navigate, document complete, page HTML.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/browser/BrowserEngine.h"
#include "platform/ui/Component.h"

namespace velomaris {

class TWebBrowser : public TControl {
public:
    // Starts with the engine the backend creates for it, else with a blank engine
    // (navigations never complete) until UseEngine gives it one.
    TWebBrowser(TForm& owner, std::string name);
    ~TWebBrowser() override;

    // Hands the browser its engine (replacing and destroying the previous one) and returns it.
    template <class Engine>
    Engine& UseEngine(std::unique_ptr<Engine> engine) {
        Engine& ref = *engine;
        SetEngine(std::move(engine));
        return ref;
    }
    void SetEngine(std::unique_ptr<TBrowserEngine> engine);
    TBrowserEngine& Engine() const { return *engine_; }

    bool Silent() const { return silent_; }
    void SetSilent(bool silent);

    // Starts loading and returns at once; the page's completion arrives later as
    // OnDocumentComplete. Raises EWebBrowserError when the engine refuses.
    void Navigate(const std::string& url);
    // The address of the last navigation ("" before the first).
    const std::string& LocationURL() const { return location_; }

    // Runs on the loop thread, through the message loop (never inside Navigate), once per
    // finished frame and once for the whole page.
    std::function<void()> OnDocumentComplete;

    // The current document's root-element HTML, in GBK.
    std::string DocumentHtml();

private:
    // Lives as long as the browser; posted events check it before touching the browser.
    std::shared_ptr<TWebBrowser*> self_;
    std::unique_ptr<TBrowserEngine> engine_;
    // Counts engines, so an event of a replaced engine is recognised and dropped.
    std::uint64_t engineGeneration_ = 0;
    bool silent_ = false;
    std::string location_;
};

}  // namespace velomaris
