#include "http/IdCookie.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// 9999-12-31 23:59:59 as a date-time: the last moment a four-digit year can show. A max-age
// of many thousand years ends there instead of producing a date that no text can hold.
constexpr double kLatestDateTime = 2958465.0 + 86399.0 / kSecondsPerDay;

// The attributes of a cookie text. A text with ";" is cut at each ";" and every piece is
// trimmed; a text without one is a single item (its lines, in fact, untrimmed).
std::vector<std::string> SplitCookieItems(const std::string& text) {
    std::vector<std::string> items;
    if (text.find(';') == std::string::npos) {
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos) {
                items.push_back(text.substr(start));
                break;
            }
            items.push_back(text.substr(start, end - start));
            start = end + 1;
            if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
                ++start;
            }
        }
        return items;
    }
    size_t start = 0;
    for (size_t semicolon = text.find(';'); semicolon != std::string::npos;
         semicolon = text.find(';', start)) {
        items.push_back(Trim(std::string_view(text).substr(start, semicolon - start)));
        start = semicolon + 1;
    }
    if (start < text.size()) {
        items.push_back(Trim(std::string_view(text).substr(start)));
    }
    return items;
}

// "name=value" becomes "NAME=value"; a bare word is upper-cased whole.
std::string NormaliseAttribute(const std::string& item) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos) {
        return UpperAscii(item);
    }
    return UpperAscii(std::string_view(item).substr(0, equals)) + item.substr(equals);
}

std::string JoinItems(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) {
            text += "; ";
        }
        text += item;
    }
    return text;
}

// A name with no dot, or with dots but not beginning with one, that is no IPv4 address.
bool IsPlainHostName(std::string_view name) {
    if (IsDottedQuad(name)) {
        return false;
    }
    return !(name.find('.') != std::string_view::npos && name.front() == '.');
}

// The name from its first "." on ("shop.example" gives ".example"); the whole name without one.
std::string_view DomainPart(std::string_view name) {
    const size_t dot = name.find('.');
    return dot == std::string_view::npos ? name : name.substr(dot);
}

}  // namespace

bool IsDottedQuad(std::string_view text) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.', start);
        if (dot == std::string_view::npos && part < 3) {
            return false;
        }
        const std::string_view piece = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        const std::optional<std::int32_t> number = TryStrToInt(piece);
        if (!number || *number < 0 || *number > 255) {
            return false;
        }
        start = dot == std::string_view::npos ? text.size() : dot + 1;
    }
    return true;
}

TIdNetscapeCookie::TIdNetscapeCookie(TIdCookieClock clock) : clock_(std::move(clock)) {}

void TIdNetscapeCookie::ParseCookieText(const std::string& text) {
    if (text == cookieText_) {
        return;
    }
    cookieText_ = text;
    try {
        std::vector<std::string> items = SplitCookieItems(text);
        CookieName.clear();
        Value.clear();
        if (!items.empty()) {
            const std::string& pair = items.front();
            const size_t equals = pair.find('=');
            if (equals == std::string::npos) {
                Value = pair;
            } else {
                CookieName = pair.substr(0, equals);
                Value = pair.substr(equals + 1);
            }
            items.erase(items.begin());
        }
        for (std::string& item : items) {
            item = NormaliseAttribute(item);
        }
        ApplyAttributes(items);
    } catch (...) {
        // A text that failed must be read again in full if it comes back.
        cookieText_.clear();
        throw;
    }
}

std::string TIdNetscapeCookie::AttributeValue(const std::vector<std::string>& items,
                                              std::string_view name) {
    for (const std::string& item : items) {
        const size_t equals = item.find('=');
        if (equals != std::string::npos &&
            SameTextAscii(std::string_view(item).substr(0, equals), name)) {
            return item.substr(equals + 1);
        }
    }
    return std::string();
}

bool TIdNetscapeCookie::HasAttributeAtom(const std::vector<std::string>& items,
                                         std::string_view atom) {
    for (const std::string& item : items) {
        if (item == atom) {
            return true;
        }
    }
    return false;
}

void TIdNetscapeCookie::ApplyAttributes(const std::vector<std::string>& items) {
    Path = AttributeValue(items, "PATH");
    if (!Path.empty() && Path.front() == '"') {
        Path.erase(0, 1);
    }
    if (!Path.empty() && Path.back() == '"') {
        Path.pop_back();
    }
    SetExpiresText(AttributeValue(items, "EXPIRES"));
    Domain = AttributeValue(items, "DOMAIN");
    Secure = HasAttributeAtom(items, "SECURE");
}

void TIdNetscapeCookie::SetExpiresText(const std::string& text) {
    expiresText_ = text;
}

std::string TIdNetscapeCookie::RebuildText() const {
    std::vector<std::string> items;
    // The pair always leads, even with an empty value: a stored cookie is re-read from this
    // text when it is replaced, and without the pair it would take "path=..." as its name.
    if (!CookieName.empty() || !Value.empty()) {
        items.push_back(ClientPair());
    }
    if (!Path.empty()) {
        items.push_back("path=" + Path);
    }
    if (Flavor == kNetscapeFlavor && !ExpiresText().empty()) {
        items.push_back("expires=" + ExpiresText());
    }
    if (!Domain.empty()) {
        items.push_back("domain=" + Domain);
    }
    if (Secure) {
        items.push_back("secure");
    }
    return JoinItems(items);
}

std::string TIdNetscapeCookie::ClientPair() const {
    return CookieName + "=" + Value;
}

bool TIdNetscapeCookie::AcceptsHost(const std::string& host) const {
    if (IsDottedQuad(host)) {
        return Domain == host;
    }
    if (IsPlainHostName(host)) {
        if (IsPlainHostName(Domain)) {
            return Domain == host;
        }
        return Domain == DomainPart(host);
    }
    return SameTextAscii(Domain, DomainPart(host));
}

TIdCookieRFC2109::TIdCookieRFC2109(TIdCookieClock clock) : TIdNetscapeCookie(std::move(clock)) {
    Flavor = kRFC2109Flavor;
}

void TIdCookieRFC2109::SetExpiresText(const std::string& text) {
    TIdNetscapeCookie::SetExpiresText(text);
    if (text.empty()) {
        return;
    }
    try {
        // Whole milliseconds first, so that a date exactly 60 s ahead gives 60, not 59.
        const double milliseconds =
            std::round((ReadInternetDate(text) - Now()) * kSecondsPerDay * 1000.0);
        if (std::fabs(milliseconds) < 9.0e18) {
            MaxAge = static_cast<std::int64_t>(milliseconds) / 1000;
        }
    } catch (const Exception&) {
        // Only the derived max-age is unknown then; the expiry text itself is kept and decides.
    }
}

void TIdCookieRFC2109::ApplyAttributes(const std::vector<std::string>& items) {
    TIdNetscapeCookie::ApplyAttributes(items);
    MaxAge = TryParseDecimalInt64(AttributeValue(items, "MAX-AGE")).value_or(-1);
    Version = AttributeValue(items, "VERSION");
    Comment = AttributeValue(items, "COMMENT");
    if (ExpiresText().empty()) {
        Flavor = kNetscapeFlavor;
        if (MaxAge >= 0) {
            const double expires =
                std::min(Now() + static_cast<double>(MaxAge) / kSecondsPerDay, kLatestDateTime);
            SetExpiresText(FormatInternetDate(expires));
        }
    }
}

std::string TIdCookieRFC2109::RebuildText() const {
    std::string text = TIdNetscapeCookie::RebuildText();
    auto append = [&text](const std::string& item) {
        if (!text.empty()) {
            text += "; ";
        }
        text += item;
    };
    if (MaxAge >= 0 && ExpiresText().empty()) {
        append("max-age=" + IntToStr(MaxAge));
    }
    if (!Comment.empty()) {
        append("comment=" + Comment);
    }
    if (!Version.empty()) {
        append("version=" + Version);
    }
    return text;
}

TIdCookieRFC2965::TIdCookieRFC2965(TIdCookieClock clock) : TIdCookieRFC2109(std::move(clock)) {
    Flavor = kRFC2965Flavor;
}

void TIdCookieRFC2965::ApplyAttributes(const std::vector<std::string>& items) {
    TIdCookieRFC2109::ApplyAttributes(items);
    CommentURL = AttributeValue(items, "COMMENTURL");
    Discard = HasAttributeAtom(items, "DISCARD");
    // RFC 2965 section 3.2.2: Port="80,8080"; a Port without a list means the request's port.
    const std::string port = AttributeValue(items, "PORT");
    if (port.empty()) {
        PortList = {80};
    } else if (port.size() >= 2 && port.front() == '"' && port.back() == '"') {
        std::vector<std::int32_t> ports;
        const std::string list = port.substr(1, port.size() - 2);
        size_t start = 0;
        while (start < list.size()) {
            const size_t end = list.find_first_of(", ", start);
            const std::string entry =
                list.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!entry.empty()) {
                ports.push_back(StrToInt(entry));
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
        PortList = ports.empty() ? std::vector<std::int32_t>{80} : ports;
    }
}

std::unique_ptr<TIdNetscapeCookie> CreateCookie(TIdCookieClass cookieClass, TIdCookieClock clock) {
    switch (cookieClass) {
        case TIdCookieClass::ccRFC2109:
            return std::make_unique<TIdCookieRFC2109>(std::move(clock));
        case TIdCookieClass::ccRFC2965:
            return std::make_unique<TIdCookieRFC2965>(std::move(clock));
        case TIdCookieClass::ccNetscape:
            break;
    }
    return std::make_unique<TIdNetscapeCookie>(std::move(clock));
}

}  // namespace velomaris
