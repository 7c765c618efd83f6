#include "platform/browser/ScriptedBrowserEngine.h"

#include <stdexcept>

#include "platform/ui/Application.h"

namespace velomaris {

TScriptedBrowserEngine::TScriptedBrowserEngine(TApplication& app)
    : app_(app), self_(std::make_shared<TScriptedBrowserEngine*>(this)) {}

TScriptedBrowserEngine::~TScriptedBrowserEngine() {
    *self_ = nullptr;
}

void TScriptedBrowserEngine::RespondWith(TPage page) {
    responder_ = [page](const std::string&) { return std::optional<TPage>(page); };
}

void TScriptedBrowserEngine::Attach(std::function<void()> documentComplete) {
    documentComplete_ = std::move(documentComplete);
}

void TScriptedBrowserEngine::Navigate(const std::string& url) {
    if (navigateFailure_) {
        std::string message = std::move(*navigateFailure_);
        navigateFailure_.reset();
        throw EWebBrowserError(message);
    }
    navigations_.push_back(url);
    const std::uint64_t generation = ++generation_;
    pending_ = true;
    if (!responder_) {
        return;
    }
    std::optional<TPage> page = responder_(url);
    if (!page) {
        return;
    }
    std::weak_ptr<TScriptedBrowserEngine*> weak = self_;
    // Even an immediate page finishes through the loop, never inside Navigate.
    app_.PostDelayed(page->delayMs, [weak, generation, page = *page] {
        auto self = weak.lock();
        if (!self || *self == nullptr || (*self)->generation_ != generation) {
            return;
        }
        (*self)->Complete(page.html, page.completions);
    });
}

void TScriptedBrowserEngine::Finish(const std::string& html, int completions) {
    if (!pending_) {
        throw std::logic_error("TScriptedBrowserEngine::Finish: no navigation is pending");
    }
    Complete(html, completions);
}

void TScriptedBrowserEngine::Complete(const std::string& html, int completions) {
    pending_ = false;
    html_ = html;
    for (int i = 0; i < completions; ++i) {
        RaiseDocumentComplete();
    }
}

void TScriptedBrowserEngine::RaiseDocumentComplete() {
    if (documentComplete_) {
        documentComplete_();
    }
}

std::string TScriptedBrowserEngine::DocumentHtml() {
    if (htmlFailure_) {
        throw EWebBrowserError(*htmlFailure_);
    }
    return html_;
}

}  // namespace velomaris
