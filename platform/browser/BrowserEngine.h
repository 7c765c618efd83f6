// What renders pages behind a TWebBrowser. An engine may load on a worker thread; it reports
// a finished document through the callback it was attached with, which is safe to call from
// any thread and queues the event on the message loop.
#pragma once

#include <functional>
#include <string>

#include "platform/Exception.h"

namespace velomaris {

// A browser operation that failed, with the engine's own message.
class EWebBrowserError : public Exception {
    using Exception::Exception;
};

class TBrowserEngine {
public:
    virtual ~TBrowserEngine() = default;
    TBrowserEngine() = default;
    TBrowserEngine(const TBrowserEngine&) = delete;
    TBrowserEngine& operator=(const TBrowserEngine&) = delete;

    // Called once, before any other call, by the browser that owns the engine. The engine
    // calls documentComplete each time a document (a frame or the whole page, or its own
    // error page) has finished loading. An engine that runs threads stops them in its
    // destructor, so documentComplete is never called after that.
    virtual void Attach(std::function<void()> documentComplete) = 0;
    // The engine shows no dialog boxes of its own when silent.
    virtual void SetSilent(bool silent) = 0;
    // Starts loading the address and returns at once. A new navigation supersedes one in
    // progress: the superseded one never reports completion.
    virtual void Navigate(const std::string& url) = 0;
    // The HTML of the current top-level document's root element as the engine serialises it,
    // converted to GBK.
    virtual std::string DocumentHtml() = 0;
};

// The engine of a browser that has not been given one: it accepts navigations and never
// finishes them, and shows an empty document.
class TBlankBrowserEngine final : public TBrowserEngine {
public:
    void Attach(std::function<void()>) override {}
    void SetSilent(bool) override {}
    void Navigate(const std::string&) override {}
    std::string DocumentHtml() override { return {}; }
};

}  // namespace velomaris
