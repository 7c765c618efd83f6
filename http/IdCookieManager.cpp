#include "http/IdCookieManager.h"

#include <algorithm>

namespace velomaris {

const TIdCookieList* TIdCookies::FindDomain(std::string_view domain) const {
    const int index = domains_.IndexOf(domain);
    return index < 0 ? nullptr : domains_.ObjectAt(index).get();
}

TIdNetscapeCookie& TIdCookies::Add(std::unique_ptr<TIdNetscapeCookie> cookie) {
    WriteLockGuard hold(lock_);
    int domain = domains_.IndexOf(cookie->Domain);
    if (domain < 0) {
        domains_.Append(cookie->Domain, std::make_unique<TIdCookieList>());
        domain = domains_.Count() - 1;
    }
    TIdNetscapeCookie& stored = *cookie;
    domains_.ObjectAt(domain)->Append(cookie->CookieName, &stored);
    items_.push_back(std::move(cookie));
    return stored;
}

TIdNetscapeCookie* TIdCookies::Find(std::string_view domain, std::string_view name) {
    ReadLockGuard hold(lock_);
    const int list = domains_.IndexOf(domain);
    if (list < 0) {
        return nullptr;
    }
    const TIdCookieList& names = *domains_.ObjectAt(list);
    const int index = names.IndexOf(name);
    return index < 0 ? nullptr : names.ObjectAt(index);
}

void TIdCookies::Remove(const TIdNetscapeCookie* cookie) {
    WriteLockGuard hold(lock_);
    // Looked up by identity rather than by domain and name: a replacement may have re-read
    // the cookie's name or domain in another case than the index holds.
    for (int d = 0; d < domains_.Count(); ++d) {
        TIdCookieList& names = *domains_.ObjectAt(d);
        for (int i = 0; i < names.Count(); ++i) {
            if (names.ObjectAt(i) == cookie) {
                names.Delete(i);
                break;
            }
        }
    }
    auto owned = std::find_if(items_.begin(), items_.end(),
                              [cookie](const auto& item) { return item.get() == cookie; });
    if (owned != items_.end()) {
        items_.erase(owned);
    }
}

void TIdCookies::Clear() {
    WriteLockGuard hold(lock_);
    domains_ = {};
    items_.clear();
}

TIdCookieManager::TIdCookieManager(TIdCookieClock clock) : clock_(std::move(clock)) {}

namespace {

// RFC 6265bis section 5.6: a name or value holding a control byte (TAB aside) is ignored
// entirely. It would go back in the "Cookie" header, where a NUL or CR is refused and would
// make every later request of the client fail.
bool HoldsControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

}  // namespace

bool TIdCookieManager::StoreCookie(const std::string& text, const std::string& host,
                                   TIdCookieClass cookieClass) {
    std::unique_ptr<TIdNetscapeCookie> cookie = CreateCookie(cookieClass, clock_);
    cookie->ParseCookieText(text);
    if (HoldsControlByte(cookie->CookieName) || HoldsControlByte(cookie->Value)) {
        return false;
    }
    if (cookie->Domain.empty()) {
        cookie->Domain = host;
    }
    if (!cookie->AcceptsHost(host)) {
        return false;  // a cookie for another site is dropped without a word
    }
    if (OnNewCookie && !OnNewCookie(*cookie)) {
        return false;
    }

    WriteLockGuard hold(cookies_.Lock());
    if (TIdNetscapeCookie* stored = cookies_.Find(cookie->Domain, cookie->CookieName)) {
        // The stored cookie keeps its place in the list and takes the new text and flavour.
        stored->ParseCookieText(cookie->RebuildText());
        stored->Flavor = cookie->Flavor;
        return true;
    }
    if (const TIdCookieList* names = cookies_.FindDomain(cookie->Domain)) {
        if (names->Count() >= kMaxCookiesPerDomain) {
            cookies_.Remove(names->ObjectAt(0));
        }
    }
    cookies_.Add(std::move(cookie));
    return true;
}

void TIdCookieManager::StoreResponseCookies(const TIdHeaderList& headerLines,
                                            const std::string& host) {
    std::vector<std::string> rfc2109;
    std::vector<std::string> rfc2965;
    headerLines.CollectValues("Set-cookie", rfc2109);
    headerLines.CollectValues("Set-cookie2", rfc2965);
    int budget = kMaxCookiesPerResponse;
    for (const std::string& text : rfc2109) {
        if (budget-- <= 0) {
            return;
        }
        StoreCookie(text, host, TIdCookieClass::ccRFC2109);
    }
    for (const std::string& text : rfc2965) {
        if (budget-- <= 0) {
            return;
        }
        StoreCookie(text, host, TIdCookieClass::ccRFC2965);
    }
}

void TIdCookieManager::PurgeExpired() {
    WriteLockGuard hold(cookies_.Lock());
    const TIdDateTime now = clock_();
    for (int d = 0; d < cookies_.DomainCount(); ++d) {
        const TIdCookieList& names = cookies_.CookiesAt(d);
        for (int i = names.Count() - 1; i >= 0; --i) {
            const TIdNetscapeCookie* cookie = names.ObjectAt(i);
            // An expiry that does not read as a date gives 0, the earliest moment: such a
            // cookie goes at once.
            if (!cookie->ExpiresText().empty() && ReadInternetDate(cookie->ExpiresText()) < now) {
                cookies_.Remove(cookie);
            }
        }
    }
}

bool CookieDomainMatches(std::string_view host, std::string_view domain) {
    if (!domain.empty() && domain.front() == '.') {
        domain.remove_prefix(1);
    }
    if (domain.empty()) {
        return false;
    }
    if (SameTextAscii(host, domain)) {
        return true;
    }
    if (IsDottedQuad(host) || host.size() <= domain.size()) {
        return false;
    }
    // RFC 6265 section 5.1.3: a suffix only counts at a label boundary, so "ample.test"
    // never reaches "example.test".
    const size_t start = host.size() - domain.size();
    return host[start - 1] == '.' && SameTextAscii(host.substr(start), domain);
}

std::string TIdCookieManager::BuildCookieValue(std::string_view host, std::string_view path,
                                               bool secureConnection) {
    PurgeExpired();

    // Everything that reads the cookies stays under the read lock: a writer on another thread
    // may re-read or remove a cookie as soon as it is released.
    ReadLockGuard hold(cookies_.Lock());
    std::vector<const TIdNetscapeCookie*> taken;
    for (int d = 0; d < cookies_.DomainCount(); ++d) {
        if (!CookieDomainMatches(host, cookies_.DomainAt(d))) {
            continue;
        }
        const TIdCookieList& names = cookies_.CookiesAt(d);
        for (int i = names.Count() - 1; i >= 0; --i) {
            const TIdNetscapeCookie* cookie = names.ObjectAt(i);
            if (cookie->Path.empty() || !path.starts_with(cookie->Path)) {
                continue;
            }
            if (cookie->Secure && !secureConnection) {
                continue;
            }
            if (cookie->Value.empty()) {
                continue;
            }
            taken.push_back(cookie);
        }
    }

    // Longer (later-sorting) paths first; among equal paths, in the order taken.
    std::stable_sort(taken.begin(), taken.end(), [](const auto* a, const auto* b) {
        return UpperAscii(a->Path) > UpperAscii(b->Path);
    });
    std::string value;
    for (const TIdNetscapeCookie* cookie : taken) {
        if (!value.empty()) {
            value += "; ";
        }
        value += cookie->ClientPair();
    }
    return value;
}

void TIdClientCookieStore::Assign(TIdCookieManager* manager) {
    if (manager == manager_) {
        return;
    }
    manager_ = manager;
    if (own_ && manager != own_.get()) {
        own_.reset();
    }
}

void TIdClientCookieStore::StoreResponseCookies(bool allowCookies, const TIdHeaderList& headerLines,
                                                const std::string& host) {
    if (manager_ == nullptr && allowCookies) {
        own_ = std::make_unique<TIdCookieManager>();
        manager_ = own_.get();
    }
    if (manager_ != nullptr) {
        manager_->StoreResponseCookies(headerLines, host);
    }
}

std::string TIdClientCookieStore::CookieValueFor(const std::string& host, const std::string& path,
                                                 bool secureConnection) const {
    return manager_ == nullptr ? std::string()
                               : manager_->BuildCookieValue(host, path, secureConnection);
}

}  // namespace velomaris
