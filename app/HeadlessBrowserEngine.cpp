#include "app/HeadlessBrowserEngine.h"

#include <system_error>

#include "app/BrowserAddress.h"
#include "app/BrowserDocument.h"
#include "app/CancellableIOHandler.h"
#include "http/IdHTTP.h"
#include "net/IdSSLOpenSSL.h"
#include "net/IdWait.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// The engine's own pages, each one line in the form a browser serialises a document (lower-case
// tags, a head, nothing outside the body), so that a rendering engine reads them back
// unchanged too. resources/checkweb.html and resources/checkweb2.html hold the same bytes.
constexpr char kUnreachablePage[] =
    "<html><head><meta charset=\"gbk\"><title>无法访问此网站</title></head><body><h1>"
    "无法访问此网站</h1><p>找不到该网站的服务器，或者服务器拒绝、中断了连接，或者没有及时应答。"
    "</p></body></html>";
constexpr char kErrorResponsePage[] =
    "<html><head><meta charset=\"gbk\"><title>无法显示此网页</title></head><body><h1>"
    "无法显示此网页</h1><p>网站返回了错误，或者返回的内容不是网页。</p></body></html>";
constexpr char kBlankPage[] = "<html><head></head><body></body></html>";

bool IsRedirect(int statusCode) {
    return statusCode / 100 == 3 && statusCode != 304;
}

}  // namespace

THeadlessBrowserEngine::THeadlessBrowserEngine() : THeadlessBrowserEngine(TOptions{}) {}

THeadlessBrowserEngine::THeadlessBrowserEngine(TOptions options)
    : options_(options), document_(kBlankPage) {}

THeadlessBrowserEngine::~THeadlessBrowserEngine() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (running_) {
            running_->Cancel();
        }
    }
    wake_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::string THeadlessBrowserEngine::UnreachablePageHtml() {
    return kUnreachablePage;
}

std::string THeadlessBrowserEngine::ErrorResponsePageHtml() {
    return kErrorResponsePage;
}

std::string THeadlessBrowserEngine::BlankPageHtml() {
    return kBlankPage;
}

void THeadlessBrowserEngine::Attach(std::function<void()> documentComplete) {
    std::lock_guard lock(mutex_);
    documentComplete_ = std::move(documentComplete);
}

void THeadlessBrowserEngine::SetSilent(bool silent) {
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void THeadlessBrowserEngine::Navigate(const std::string& url) {
    std::shared_ptr<TCancelSignal> cancel;
    try {
        cancel = std::make_shared<TCancelSignal>();
    } catch (const Exception& e) {
        throw EWebBrowserError(e.Message());
    }
    std::lock_guard lock(mutex_);
    ++generation_;
    if (running_) {
        running_->Cancel();
    }
    pending_ = Job{generation_, url, std::move(cancel)};
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread([this] { Run(); });
        } catch (const std::system_error& e) {
            pending_.reset();
            throw EWebBrowserError(std::string("The browser cannot start loading: ") + e.what());
        }
    }
    wake_.notify_one();
}

std::string THeadlessBrowserEngine::DocumentHtml() {
    std::lock_guard lock(mutex_);
    return document_;
}

void THeadlessBrowserEngine::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
            if (stopping_) {
                return;
            }
            job = std::move(*pending_);
            pending_.reset();
            running_ = job.cancel;
        }
        std::string html = Load(job);
        std::lock_guard lock(mutex_);
        running_.reset();
        if (stopping_) {
            return;
        }
        // Decided under the lock Navigate takes: a navigation started before this point has
        // superseded the result, one started after it comes after the report.
        if (job.generation != generation_) {
            continue;
        }
        document_ = std::move(html);
        if (documentComplete_) {
            documentComplete_();
        }
    }
}

std::string THeadlessBrowserEngine::Load(const Job& job) const {
    try {
        return Fetch(job);
    } catch (const EIdHTTPProtocolException&) {
        return kErrorResponsePage;  // an HTTP error, or a redirect that cannot be followed
    } catch (const EIdHTTPResponseTooLarge&) {
        return kErrorResponsePage;
    } catch (const EIdHTTPInvalidChunkSize&) {
        return kErrorResponsePage;
    } catch (const EIdHTTPInvalidContentLength&) {
        return kErrorResponsePage;  // a malformed response
    } catch (const EIdHTTPContentEncodingError&) {
        return kErrorResponsePage;  // a body that cannot be shown
    } catch (const EIdReadLnMaxLineLengthExceeded&) {
        return kErrorResponsePage;  // whatever answered, it was not an HTTP server's response
    } catch (const std::exception&) {
        // Lookup, connect, reset, time-out, cancel, an address that cannot be loaded: the
        // browser shows that it could not reach the site, which is exactly this page.
        return kUnreachablePage;
    }
}

std::string THeadlessBrowserEngine::Fetch(const Job& job) const {
    std::string address = WithoutFragment(job.url);
    if (SameTextAscii(Trim(address), "about:blank")) {
        return kBlankPage;
    }
    const TIdOperationDeadline deadline(options_.navigationTimeoutMs);
    TCancellableIOHandler handler(job.cancel, options_.connectTimeoutMs);
    // TLS for https addresses runs over the cancellable socket, so its waits end as early.
    TIdSSLIOHandlerSocketOpenSSL secure(handler);
    TIdHTTP http;
    http.SetIOHandler(&secure);
    http.SetReadTimeout(options_.readTimeoutMs);
    // Each redirect is followed here rather than by the client, so that its "Location" is
    // resolved against the address that gave it (RFC 9110 section 10.2.2). Only a 3xx with a
    // "Location" is a redirect; any other response that carries one is declined here, and
    // the client then raises its protocol error with the body attached.
    http.HandleRedirects = false;
    http.OnRedirect = [](TIdCustomHTTP* sender, std::string& location, int, bool& handled,
                         TIdHTTPMethod&) {
        handled = IsRedirect(sender->ResponseCode()) && !Trim(location).empty();
    };
    for (int redirects = 0;; ++redirects) {
        job.cancel->Check();
        TMemoryStream stream;
        std::string body;
        try {
            http.GetToStream(address, stream);
            body = stream.TakeBytes();
        } catch (const EIdHTTPProtocolException& e) {
            // A 2xx page that also names a "Location" is still a page to a browser.
            if (e.ReplyCode() / 100 != 2) {
                throw;
            }
            body = e.ErrorBody();
        }
        TIdHTTPResponse& response = http.Response();
        if (IsRedirect(http.ResponseCode()) && !Trim(response.Location).empty()) {
            if (redirects >= options_.maxRedirects) {
                return kErrorResponsePage;
            }
            address = WithoutFragment(ResolveReference(address, response.Location));
            continue;
        }
        if (!IsHtmlDocument(response.ContentType, body)) {
            return kErrorResponsePage;
        }
        return PageHtml(response.ContentType, body);
    }
}

}  // namespace velomaris
