// The in-memory cookie store of the HTTP client: which cookies responses set, which are kept,
// replaced or dropped, when they expire, and the "Cookie" value sent with a request.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http/IdCookie.h"
#include "http/IdHeaderList.h"
#include "http/ReentrantRWLock.h"
#include "platform/Text.h"

namespace velomaris {

// Names mapped to objects, looked up ignoring case, kept in the order they were appended.
template <typename Object>
class TIdCookieIndex {
public:
    int Count() const { return static_cast<int>(entries_.size()); }
    bool Empty() const { return entries_.empty(); }
    const std::string& NameAt(int index) const { return entries_.at(Slot(index)).first; }
    Object& ObjectAt(int index) { return entries_.at(Slot(index)).second; }
    const Object& ObjectAt(int index) const { return entries_.at(Slot(index)).second; }

    // Index of the first entry named name ignoring case; -1 when there is none.
    int IndexOf(std::string_view name) const {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (SameTextAscii(entries_[i].first, name)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void Append(std::string name, Object object) {
        entries_.emplace_back(std::move(name), std::move(object));
    }
    void Delete(int index) { entries_.erase(entries_.begin() + Slot(index)); }

private:
    static size_t Slot(int index) { return static_cast<size_t>(index); }
    std::vector<std::pair<std::string, Object>> entries_;
};

// The cookies of one domain by name (not owned: TIdCookies owns every cookie).
using TIdCookieList = TIdCookieIndex<TIdNetscapeCookie*>;

// All stored cookies, and the domain index: domain text -> TIdCookieList, in order of first
// appearance. The index is guarded by a multi-reader single-writer lock that a writer may
// take again (removing a cookie while a purge holds it).
class TIdCookies {
public:
    TIdCookies() = default;
    TIdCookies(const TIdCookies&) = delete;
    TIdCookies& operator=(const TIdCookies&) = delete;

    // Every cookie, in the order it was stored.
    int Count() const { return static_cast<int>(items_.size()); }
    const TIdNetscapeCookie& operator[](int index) const {
        return *items_.at(static_cast<size_t>(index));
    }

    // The domain index; readers hold the read lock while they walk it.
    int DomainCount() const { return domains_.Count(); }
    const std::string& DomainAt(int index) const { return domains_.NameAt(index); }
    const TIdCookieList& CookiesAt(int index) const { return *domains_.ObjectAt(index); }
    // The cookies of a domain (ignoring case); none when the domain is not in the index.
    const TIdCookieList* FindDomain(std::string_view domain) const;

    ReentrantRWLock& Lock() const { return lock_; }

    // Takes the cookie into the collection and appends it to its domain's list (made when
    // the domain is new) under its name. The caller has checked that the name is new there.
    TIdNetscapeCookie& Add(std::unique_ptr<TIdNetscapeCookie> cookie);
    // The stored cookie of that domain and name (ignoring case), or none.
    TIdNetscapeCookie* Find(std::string_view domain, std::string_view name);
    // Removes the cookie from its name list and destroys it. Name lists that become empty stay.
    void Remove(const TIdNetscapeCookie* cookie);
    void Clear();

private:
    std::vector<std::unique_ptr<TIdNetscapeCookie>> items_;
    TIdCookieIndex<std::unique_ptr<TIdCookieList>> domains_;
    mutable ReentrantRWLock lock_;
};

// The cookie store. Responses store cookies through StoreCookie / StoreResponseCookies; each
// request asks BuildCookieValue for its "Cookie" header. Nothing is saved to disk.
class TIdCookieManager {
public:
    // Set-Cookie lines beyond this many in one response are ignored, and a domain keeps at
    // most this many cookies (the oldest goes when a new name arrives), so a hostile page
    // cannot grow the store without bound. RFC 6265 section 6.1 asks for at least 50.
    static constexpr int kMaxCookiesPerResponse = 50;
    static constexpr int kMaxCookiesPerDomain = 50;

    explicit TIdCookieManager(TIdCookieClock clock = LocalNow);
    TIdCookieManager(const TIdCookieManager&) = delete;
    TIdCookieManager& operator=(const TIdCookieManager&) = delete;

    // Reads one cookie text from a response of host, checks that host may set it, and keeps
    // it: a new name is appended, a known name (ignoring case) is updated where it stands.
    // Returns whether it was kept. A Set-cookie2 whose quoted Port list holds something other
    // than numbers raises EConvertError.
    bool StoreCookie(const std::string& text, const std::string& host, TIdCookieClass cookieClass);

    // Stores the "Set-cookie" values of a response's header lines as RFC 2109 cookies, then its
    // "Set-cookie2" values as RFC 2965 cookies, in header order, at most
    // kMaxCookiesPerResponse of them.
    void StoreResponseCookies(const TIdHeaderList& headerLines, const std::string& host);

    // The value of the "Cookie" header for a request to host and path: every unexpired cookie
    // whose domain matches the host, whose path starts the request's path, that has a value
    // and that is not secure-only (unless the connection is secure), longer paths first.
    // Empty when nothing matches.
    std::string BuildCookieValue(std::string_view host, std::string_view path,
                                 bool secureConnection);

    // Drops every cookie whose expiry date lies before now.
    void PurgeExpired();

    TIdCookies& Cookies() { return cookies_; }
    const TIdCookies& Cookies() const { return cookies_; }

    // Asked about every new cookie before it is kept; a false answer drops it.
    std::function<bool(const TIdNetscapeCookie&)> OnNewCookie;

private:
    TIdCookieClock clock_;
    TIdCookies cookies_;
};

// How an HTTP client holds its cookie store: none at first; one the client makes itself on
// the first response when cookies are allowed; or one assigned from outside, which is not
// owned and is used whatever AllowCookies says. Assigning another store frees the one the
// client made itself.
class TIdClientCookieStore {
public:
    TIdClientCookieStore() = default;
    TIdClientCookieStore(const TIdClientCookieStore&) = delete;
    TIdClientCookieStore& operator=(const TIdClientCookieStore&) = delete;

    TIdCookieManager* Manager() const { return manager_; }
    void Assign(TIdCookieManager* manager);
    // Whether the store in use is the one the client made.
    bool OwnsManager() const { return own_ != nullptr && manager_ == own_.get(); }

    // After every response head (interim 100 responses too): makes the client's own store when
    // allowed and none exists, then stores the response's cookies for host.
    void StoreResponseCookies(bool allowCookies, const TIdHeaderList& headerLines,
                              const std::string& host);
    // The "Cookie" value for a request to host and path (secure-only cookies only over a secure
    // connection); empty without a store.
    std::string CookieValueFor(const std::string& host, const std::string& path,
                               bool secureConnection = false) const;

private:
    std::unique_ptr<TIdCookieManager> own_;
    TIdCookieManager* manager_ = nullptr;
};

// Whether a cookie of domain goes with a request to host: the host is the domain itself or
// ends with "." and the domain (a leading "." of the domain ignored), ignoring case. An IPv4
// address matches only itself.
bool CookieDomainMatches(std::string_view host, std::string_view domain);

}  // namespace velomaris
