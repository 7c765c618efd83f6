// The rendering browser of the desktop program: QtWebEngine behind the browser contract, with
// the same rules as the headless engine. A site that cannot be reached shows checkweb.html, an
// HTTP error or a resource that is no HTML document shows checkweb2.html (the engine loads the
// shipped template itself, so its HTML reads back byte for byte). Document-complete is
// reported once per navigation, after the load has finished and the document's HTML has been
// read and kept, so the site check reads it at once. JavaScript dialogs, new windows and
// downloads are suppressed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/qt/QtBackend.h"

namespace velomaris {

class TQtBrowserEngine final : public TWidgetBrowserEngine {
public:
    // templateDirectory holds checkweb.html and checkweb2.html (with its trailing "/").
    explicit TQtBrowserEngine(std::string templateDirectory);
    ~TQtBrowserEngine() override;

    void Attach(std::function<void()> documentComplete) override;
    void SetSilent(bool silent) override;
    void Navigate(const std::string& url) override;
    std::string DocumentHtml() override;
    QWidget* View() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velomaris
