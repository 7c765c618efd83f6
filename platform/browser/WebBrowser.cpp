#include "platform/browser/WebBrowser.h"

#include "platform/ui/Application.h"
#include "platform/ui/Form.h"
#include "platform/ui/UiBackend.h"

namespace velomaris {

TWebBrowser::TWebBrowser(TForm& owner, std::string name)
    : TControl(&owner, std::move(name)), self_(std::make_shared<TWebBrowser*>(this)) {
    std::unique_ptr<TBrowserEngine> engine =
        owner.Application().Backend().CreateBrowserEngine(*this);
    if (engine == nullptr) {
        engine = std::make_unique<TBlankBrowserEngine>();
    }
    SetEngine(std::move(engine));
}

TWebBrowser::~TWebBrowser() {
    // The engine goes first so that no worker thread reports into a dying browser.
    engine_.reset();
    *self_ = nullptr;
}

void TWebBrowser::SetEngine(std::unique_ptr<TBrowserEngine> engine) {
    engine_ = std::move(engine);
    TApplication& app = Owner()->Application();
    std::weak_ptr<TWebBrowser*> weak = self_;
    const std::uint64_t generation = ++engineGeneration_;
    engine_->Attach([&app, weak, generation] {
        app.Post([weak, generation] {
            auto self = weak.lock();
            // Dropped when the browser is gone or has changed engines since.
            if (!self || *self == nullptr || (*self)->engineGeneration_ != generation) {
                return;
            }
            if ((*self)->OnDocumentComplete) {
                auto handler = (*self)->OnDocumentComplete;
                handler();
            }
        });
    });
    engine_->SetSilent(silent_);
}

void TWebBrowser::SetSilent(bool silent) {
    silent_ = silent;
    engine_->SetSilent(silent);
}

void TWebBrowser::Navigate(const std::string& url) {
    location_ = url;
    engine_->Navigate(url);
}

std::string TWebBrowser::DocumentHtml() {
    return engine_->DocumentHtml();
}

}  // namespace velomaris
