#include "app/QtBrowserEngine.h"

#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "app/BrowserDocument.h"
#include "platform/LossyText.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// Chromium's code for a load cut short by the next one: not a failure of the site.
constexpr int kErrorAborted = -3;

// A page that opens nothing by itself: no dialogs, no new windows, no file choosers.
class SilentPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override {
        return {};
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
};

bool IsConnectFailure(const QWebEngineLoadingInfo& info) {
    switch (info.errorDomain()) {
        case QWebEngineLoadingInfo::HttpStatusCodeDomain:
        case QWebEngineLoadingInfo::HttpErrorDomain:
            return false;
        default:
            return true;
    }
}

}  // namespace

struct TQtBrowserEngine::Impl {
    std::string templateDirectory;
    std::function<void()> documentComplete;
    QPointer<QWebEngineProfile> profile;
    QPointer<QWebEngineView> view;
    QPointer<SilentPage> page;
    // Counts navigations: a result of an earlier one is dropped.
    std::uint64_t navigation = 0;
    // A load the engine started itself (a navigation or a template) has not begun yet; any
    // other load that begins is the user following a link inside the page.
    bool ownLoadPending = false;
    bool showingTemplate = false;
    std::string html;

    void Begin(std::uint64_t id) {
        navigation = id;
        ownLoadPending = true;
    }

    void OnLoading(const QWebEngineLoadingInfo& info) {
        switch (info.status()) {
            case QWebEngineLoadingInfo::LoadStartedStatus:
                if (!ownLoadPending) {
                    ++navigation;
                    showingTemplate = false;
                }
                ownLoadPending = false;
                return;
            case QWebEngineLoadingInfo::LoadStoppedStatus:
                return;
            case QWebEngineLoadingInfo::LoadFailedStatus:
                if (info.errorCode() == kErrorAborted) {
                    return;
                }
                if (showingTemplate) {
                    // The template itself would not load: report what is shown.
                    ReadDocument(false);
                    return;
                }
                ShowTemplate(IsConnectFailure(info) ? "checkweb.html" : "checkweb2.html");
                return;
            case QWebEngineLoadingInfo::LoadSucceededStatus:
                if (!showingTemplate &&
                    info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                    (info.errorCode() >= 400 || info.errorCode() == 304 ||
                     (info.errorCode() >= 300 && info.errorCode() < 400))) {
                    // An error page of the site (404, 500, ...) is no page of the site.
                    ShowTemplate("checkweb2.html");
                    return;
                }
                ReadDocument(!showingTemplate);
                return;
        }
    }

    void ShowTemplate(const char* name) {
        showingTemplate = true;
        // The program directory is kept as the system gave it; the names are ASCII. Without
        // the file an empty document is shown, which matches no template.
        std::ifstream file(templateDirectory + name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        Begin(navigation);
        page->setHtml(QString::fromStdString(GbkToUtf8Lossy(bytes)), QUrl());
    }

    // Reads the document's root element and its media type, then reports.
    void ReadDocument(bool checkMediaType) {
        const std::uint64_t id = navigation;
        page->runJavaScript(
            QStringLiteral("[document.contentType || '', document.documentElement ? "
                           "document.documentElement.outerHTML : '']"),
            [this, id, checkMediaType](const QVariant& result) {
                if (id != navigation) {
                    return;
                }
                const QVariantList parts = result.toList();
                const std::string contentType =
                    parts.size() > 0 ? parts[0].toString().toStdString() : std::string();
                const std::string outer =
                    parts.size() > 1 ? parts[1].toString().toStdString() : std::string();
                if (checkMediaType && !IsHtmlDocument(contentType, outer)) {
                    ShowTemplate("checkweb2.html");
                    return;
                }
                // The document as UTF-8, made GBK; what GBK cannot hold becomes a character
                // reference, as the headless engine does.
                html = DocumentTextToGbk("text/html; charset=utf-8", outer);
                if (documentComplete) {
                    documentComplete();
                }
            });
    }
};

TQtBrowserEngine::TQtBrowserEngine(std::string templateDirectory)
    : impl_(std::make_unique<Impl>()) {
    impl_->templateDirectory = std::move(templateDirectory);
    // Off the record: nothing is kept on disk, and each navigation starts without cookies.
    impl_->profile = new QWebEngineProfile();
    impl_->profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    QObject::connect(impl_->profile.data(), &QWebEngineProfile::downloadRequested,
                     [](QWebEngineDownloadRequest* download) { download->cancel(); });
    impl_->view = new QWebEngineView();
    impl_->view->setContextMenuPolicy(Qt::NoContextMenu);
    impl_->page = new SilentPage(impl_->profile.data(), impl_->view.data());
    impl_->page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    impl_->page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    impl_->view->setPage(impl_->page.data());
    QObject::connect(
        impl_->page.data(), &QWebEnginePage::loadingChanged,
        [impl = impl_.get()](const QWebEngineLoadingInfo& info) { impl->OnLoading(info); });
}

TQtBrowserEngine::~TQtBrowserEngine() {
    // The page goes before its profile.
    delete impl_->view.data();
    delete impl_->profile.data();
}

void TQtBrowserEngine::Attach(std::function<void()> documentComplete) {
    impl_->documentComplete = std::move(documentComplete);
}

void TQtBrowserEngine::SetSilent(bool) {
    // The page is always silent: it opens no dialog of its own whatever is asked.
}

void TQtBrowserEngine::Navigate(const std::string& url) {
    impl_->showingTemplate = false;
    impl_->profile->cookieStore()->deleteAllCookies();
    impl_->Begin(impl_->navigation + 1);
    const QUrl address(QString::fromStdString(GbkToUtf8Lossy(url)));
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // An address the browser cannot load at all (no scheme, another scheme).
        impl_->ShowTemplate("checkweb.html");
        return;
    }
    impl_->page->load(address);
}

std::string TQtBrowserEngine::DocumentHtml() {
    return impl_->html;
}

QWidget* TQtBrowserEngine::View() {
    return impl_->view.data();
}

}  // namespace velomaris
