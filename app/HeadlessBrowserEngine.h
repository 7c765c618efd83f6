// The browser engine of velomaris-headless: it loads a page over HTTP or HTTPS on a worker thread,
// following redirects as a browser does, and shows its own error page when the site cannot be
// reached or does not answer with an HTML document. It renders nothing; the page HTML it
// gives is the document as received, from its root element on (see app/BrowserDocument.h).
//
// Which page a navigation ends on:
// - the page itself, when the final response is a 2xx HTML document;
// - the "cannot be reached" page (the text of checkweb.html) when the name is not found, the
//   connection is refused, reset or dropped, a connect or a read waits longer than its limit,
//   an https site's certificate is not accepted or its TLS handshake fails, or the address
//   cannot be loaded at all (another scheme, a malformed address);
// - the "cannot be displayed" page (the text of checkweb2.html) when the server answers with
//   an HTTP error (4xx, 5xx, a 3xx without a "Location", 304), with a malformed response, with
//   too many redirects, or with something that is not an HTML document.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "net/NetworkLimits.h"
#include "platform/browser/BrowserEngine.h"

namespace velomaris {

class TCancelSignal;

class THeadlessBrowserEngine final : public TBrowserEngine {
public:
    struct TOptions {
        // Each connect, and each wait for incoming data, ends with the "cannot be reached"
        // page after this long.
        std::int32_t connectTimeoutMs = 30000;
        std::int32_t readTimeoutMs = 30000;
        // A whole navigation, every redirect included, ends with the "cannot be reached" page
        // after this long (0: no such bound).
        std::int32_t navigationTimeoutMs = limits::kFetchDeadlineMs;
        // Redirects followed per navigation; one more shows the "cannot be displayed" page.
        int maxRedirects = 10;
    };

    THeadlessBrowserEngine();
    explicit THeadlessBrowserEngine(TOptions options);
    // Cancels the navigation in progress and joins the worker: no document-complete comes
    // after this. A name lookup under way is not interruptible and is waited for.
    ~THeadlessBrowserEngine() override;

    void Attach(std::function<void()> documentComplete) override;
    // The engine never opens a dialog box of its own, silent or not.
    void SetSilent(bool silent) override;
    // Starts loading on the worker and returns at once. A navigation still in progress is
    // cancelled: its connection is dropped and it never reports. The document shown stays the
    // previous one until the new one has finished loading. Raises EWebBrowserError when no
    // worker can be started.
    void Navigate(const std::string& url) override;
    // The page HTML of the last finished navigation (the blank page before the first).
    std::string DocumentHtml() override;

    // The page HTML of the engine's own pages: byte for byte the texts shipped in
    // checkweb.html and checkweb2.html, and the blank page (also shown for "about:blank").
    static std::string UnreachablePageHtml();
    static std::string ErrorResponsePageHtml();
    static std::string BlankPageHtml();

private:
    struct Job {
        std::uint64_t generation = 0;
        std::string url;
        std::shared_ptr<TCancelSignal> cancel;
    };

    void Run();
    // The page HTML the navigation ends on; never raises.
    std::string Load(const Job& job) const;
    std::string Fetch(const Job& job) const;

    const TOptions options_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> documentComplete_;
    std::optional<Job> pending_;
    // The cancel signal of the navigation the worker is loading.
    std::shared_ptr<TCancelSignal> running_;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
    bool silent_ = false;
    std::string document_;
    std::thread worker_;
};

}  // namespace velomaris
