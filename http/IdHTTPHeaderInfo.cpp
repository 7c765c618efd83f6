#include "http/IdHTTPHeaderInfo.h"

#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <optional>

#include "http/IdAuthentication.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

constexpr double kUnixEpoch = 25569.0;  // 1 Jan 1970 as days since 30 Dec 1899
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days from 1 Jan 1970 to the civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(std::int64_t year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    if (value % divisor != 0 && (value < 0) != (divisor < 0)) {
        --quotient;
    }
    return quotient;
}

// A decimal integer with an optional sign and nothing else; 32-bit range.
std::optional<std::int32_t> ParseDecimal(std::string_view text) {
    const std::optional<std::int64_t> value = TryParseDecimalInt64(text);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

// Cuts text at the first delimiter: returns what stands before it and leaves what follows it
// in text; without the delimiter the whole text is the token and text becomes empty.
std::string Fetch(std::string& text, std::string_view delimiter) {
    return CutToken(text, text.find(delimiter), delimiter.size());
}

void SkipLeadingSpaces(std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
}

// 1 to 12 for "Jan" to "Dec" in any case, 0 for anything else.
unsigned MonthNumber(std::string_view text) {
    const std::string upper = UpperAscii(text);
    for (size_t i = 0; i < kMonths.size(); ++i) {
        if (upper == UpperAscii(kMonths[i])) {
            return static_cast<unsigned>(i + 1);
        }
    }
    return 0;
}

bool StartsWithWeekday(std::string_view text) {
    const std::string upper = UpperAscii(text.substr(0, 3));
    for (std::string_view day : kWeekdays) {
        if (upper == UpperAscii(day)) {
            return true;
        }
    }
    return false;
}

// "hh:mm:ss" with missing parts 0, as a fraction of a day.
std::optional<double> ParseTimeOfDay(std::string text) {
    int parts[3] = {0, 0, 0};
    for (int& part : parts) {
        if (text.empty()) {
            break;
        }
        const std::optional<std::int32_t> value = ParseDecimal(Fetch(text, ":"));
        if (!value) {
            return std::nullopt;
        }
        part = *value;
    }
    if (parts[0] < 0 || parts[0] > 23 || parts[1] < 0 || parts[1] > 59 || parts[2] < 0 ||
        parts[2] > 59) {
        return std::nullopt;
    }
    return (parts[0] * 3600.0 + parts[1] * 60.0 + parts[2]) / kSecondsPerDay;
}

// The offset of a "+hhmm" or "-hhmm" zone in minutes; 0 for "GMT" and any other zone name.
std::optional<int> ParseZoneOffsetMinutes(const std::string& zone) {
    if (zone.size() < 5) {
        return 0;
    }
    const std::string head = Trim(std::string_view(zone).substr(0, 5));
    if (head.empty() || (head[0] != '+' && head[0] != '-')) {
        return 0;
    }
    const std::optional<std::int32_t> hours = ParseDecimal(std::string_view(zone).substr(1, 2));
    const std::optional<std::int32_t> minutes = ParseDecimal(std::string_view(zone).substr(3, 2));
    if (!hours || !minutes || *hours < 0 || *minutes < 0) {
        return std::nullopt;
    }
    const int offset = *hours * 60 + *minutes;
    return head[0] == '-' ? -offset : offset;
}

std::optional<TIdDateTime> TryReadInternetDate(std::string_view input) {
    std::string text = Trim(input);
    if (text.empty()) {
        return std::nullopt;
    }
    if (StartsWithWeekday(text)) {
        Fetch(text, " ");
        SkipLeadingSpaces(text);
    }
    // RFC 850 dates separate day, month and year with "-" ("06-Nov-94").
    const size_t dash = text.find('-');
    const size_t space = text.find(' ');
    const std::string delimiter =
        dash != std::string::npos && dash > 0 && space != std::string::npos && dash < space ? "-"
                                                                                            : " ";
    std::string dayText;
    std::string monthText;
    if (MonthNumber(text.substr(0, text.find(delimiter))) != 0) {
        monthText = Fetch(text, delimiter);
        SkipLeadingSpaces(text);
        dayText = Fetch(text, delimiter);
        SkipLeadingSpaces(text);
    } else {
        dayText = Fetch(text, delimiter);
        SkipLeadingSpaces(text);
        monthText = Fetch(text, delimiter);
        SkipLeadingSpaces(text);
    }
    const std::int64_t day = ParseDecimal(dayText).value_or(1);
    const unsigned month = MonthNumber(monthText);

    // The asctime form has the year last: then the token cut here is the time.
    std::string yearText = Fetch(text, " ");
    std::optional<std::int32_t> year = ParseDecimal(yearText);
    if (!year) {
        year = ParseDecimal(text);
        text = yearText;
    }
    std::int64_t fullYear = year.value_or(1900);
    if (fullYear >= 0 && fullYear < 80) {
        fullYear += 2000;
    } else if (fullYear >= 80 && fullYear <= 99) {
        fullYear += 1900;
    }
    if (month == 0 || fullYear < 1 || fullYear > 9999 || day < 1 ||
        day > DaysInMonth(fullYear, month)) {
        return std::nullopt;
    }
    double result =
        static_cast<double>(DaysFromCivil(fullYear, month, static_cast<unsigned>(day))) +
        kUnixEpoch;
    if (text.find(':') != std::string::npos) {
        const std::optional<double> time = ParseTimeOfDay(Fetch(text, " "));
        if (!time) {
            return std::nullopt;
        }
        result += *time;
    }
    SkipLeadingSpaces(text);
    const std::optional<int> zoneOffset = ParseZoneOffsetMinutes(text);
    if (!zoneOffset) {
        return std::nullopt;
    }
    return result + (LocalOffsetFromUtcMinutes() - *zoneOffset) / 1440.0;
}

std::string TwoDigits(std::int64_t value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

}  // namespace

int LocalOffsetFromUtcMinutes() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        throw EIdFailedToRetreiveTimeZoneInfo();
    }
    return static_cast<int>(local.tm_gmtoff / 60);
}

TIdDateTime LocalNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(now).count();
    return (seconds + LocalOffsetFromUtcMinutes() * 60.0) / kSecondsPerDay + kUnixEpoch;
}

TIdDateTime UnixTimeToLocal(std::int64_t unixSeconds) {
    return static_cast<double>(unixSeconds + LocalOffsetFromUtcMinutes() * 60LL) / kSecondsPerDay +
           kUnixEpoch;
}

std::int64_t LocalToUnixTime(TIdDateTime localDateTime) {
    return std::llround((localDateTime - kUnixEpoch) * kSecondsPerDay) -
           LocalOffsetFromUtcMinutes() * 60LL;
}

TIdDateTime ReadInternetDate(std::string_view text) {
    return TryReadInternetDate(text).value_or(0.0);
}

std::string FormatInternetDate(TIdDateTime dateTime) {
    // Whole seconds, after rounding away the binary noise of the fraction.
    const std::int64_t milliseconds = std::llround(dateTime * kSecondsPerDay * 1000.0);
    const std::int64_t seconds = FloorDiv(milliseconds, 1000);
    const std::int64_t days = FloorDiv(seconds, kSecondsPerDay) - static_cast<int>(kUnixEpoch);
    const std::int64_t secondOfDay = seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
    const CivilDate date = CivilFromDays(days);
    const std::int64_t weekday = ((days % 7) + 7 + 4) % 7;  // 1 Jan 1970 was a Thursday

    const int offset = LocalOffsetFromUtcMinutes();
    const int absoluteOffset = offset < 0 ? -offset : offset;
    std::string text;
    text += kWeekdays[static_cast<size_t>(weekday)];
    text += ", " + std::to_string(date.day) + " ";
    text += kMonths[date.month - 1];
    text += " " + std::to_string(date.year) + " ";
    text += TwoDigits(secondOfDay / 3600) + ":" + TwoDigits(secondOfDay / 60 % 60) + ":" +
            TwoDigits(secondOfDay % 60);
    text += offset < 0 ? " -" : " +";
    text += TwoDigits(absoluteOffset / 60) + TwoDigits(absoluteOffset % 60);
    return text;
}

// ---------------------------------------------------------------------------------------------

TIdEntityHeaderInfo::TIdEntityHeaderInfo() {
    ClearEntity();
}

TIdEntityHeaderInfo::~TIdEntityHeaderInfo() = default;

void TIdEntityHeaderInfo::SetContentLength(std::int32_t length) {
    contentLength_ = length;
}

void TIdEntityHeaderInfo::ClearEntity() {
    Connection.clear();
    ContentVersion.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    ContentType = "text/html";
    SetContentLength(-1);
    ContentRangeStart = 0;
    ContentRangeEnd = 0;
    Date = 0;
    Expires = 0;
    LastModified = 0;
    HeaderLines.Clear();
}

void TIdEntityHeaderInfo::Clear() {
    ClearEntity();
}

void TIdEntityHeaderInfo::ParseHeaderLines() {
    Connection = HeaderLines.HeaderValue("Connection");
    ContentVersion = HeaderLines.HeaderValue("Content-Version");
    ContentEncoding = HeaderLines.HeaderValue("Content-Encoding");
    ContentLanguage = HeaderLines.HeaderValue("Content-Language");
    ContentType = HeaderLines.HeaderValue("Content-Type");
    SetContentLength(ParseDecimal(Trim(HeaderLines.HeaderValue("Content-Length"))).value_or(-1));
    Date = ReadInternetDate(HeaderLines.HeaderValue("Date"));
    LastModified = ReadInternetDate(HeaderLines.HeaderValue("Last-Modified"));
    // "Expires" may be a number of seconds from now (RFC 2616 section 14.21 allows only a
    // date, but servers send "0" or a delta); "-1" is read as a date, i.e. as no date.
    const std::string expires = HeaderLines.HeaderValue("Expires");
    const std::optional<std::int32_t> expiresSeconds = ParseDecimal(expires);
    if (expiresSeconds && *expiresSeconds != -1) {
        Expires = Now() + *expiresSeconds / static_cast<double>(kSecondsPerDay);
    } else {
        Expires = ReadInternetDate(expires);
    }
    Pragma = HeaderLines.HeaderValue("Pragma");
}

void TIdEntityHeaderInfo::BuildHeaderLines() {
    HeaderLines.Clear();
    auto setIfPresent = [this](std::string_view name, const std::string& value) {
        if (!value.empty()) {
            HeaderLines.SetHeader(name, value);
        }
    };
    auto setDate = [this](std::string_view name, TIdDateTime value) {
        if (value > 0) {
            HeaderLines.SetHeader(name, FormatInternetDate(value));
        }
    };
    setIfPresent("Connection", Connection);
    setIfPresent("Content-Version", ContentVersion);
    setIfPresent("Content-Encoding", ContentEncoding);
    setIfPresent("Content-Language", ContentLanguage);
    setIfPresent("Content-Type", ContentType);
    if (ContentLength() >= 0) {
        HeaderLines.SetHeader("Content-Length", std::to_string(ContentLength()));
    }
    setIfPresent("Cache-control", CacheControl);
    setDate("Date", Date);
    setDate("Expires", Expires);
    setIfPresent("Pragma", Pragma);
    for (const std::string& line : CustomHeaders.Lines()) {
        HeaderLines.Add(line);
    }
}

// ---------------------------------------------------------------------------------------------

TIdRequestHeaderInfo::TIdRequestHeaderInfo() {
    Clear();
}

TIdRequestHeaderInfo::~TIdRequestHeaderInfo() = default;

void TIdRequestHeaderInfo::Clear() {
    Accept = kDefaultAccept;
    AcceptCharSet.clear();
    UserAgent = kDefaultUserAgent;
    BasicAuthentication = false;
    ClearEntity();
}

void TIdRequestHeaderInfo::ParseHeaderLines() {
    TIdEntityHeaderInfo::ParseHeaderLines();
    Accept = HeaderLines.HeaderValue("Accept");
    AcceptCharSet = HeaderLines.HeaderValue("Accept-Charset");
    AcceptEncoding = HeaderLines.HeaderValue("Accept-Encoding");
    AcceptLanguage = HeaderLines.HeaderValue("Accept-Language");
    Host = HeaderLines.HeaderValue("Host");
    From = HeaderLines.HeaderValue("From");
    Referer = HeaderLines.HeaderValue("Referer");
    UserAgent = HeaderLines.HeaderValue("User-Agent");
    ProxyConnection = HeaderLines.HeaderValue("Proxy-Connection");
    LastModified = ReadInternetDate(HeaderLines.HeaderValue("If-Modified-Since"));
}

void TIdRequestHeaderInfo::BuildHeaderLines() {
    TIdEntityHeaderInfo::BuildHeaderLines();
    auto setIfPresent = [this](std::string_view name, const std::string& value) {
        if (!value.empty()) {
            HeaderLines.SetHeader(name, value);
        }
    };
    setIfPresent("Proxy-Connection", ProxyConnection);
    setIfPresent("Host", Host);
    setIfPresent("Accept", Accept);
    setIfPresent("Accept-Charset", AcceptCharSet);
    setIfPresent("Accept-Encoding", AcceptEncoding);
    setIfPresent("Accept-Language", AcceptLanguage);
    setIfPresent("From", From);
    setIfPresent("Referer", Referer);
    setIfPresent("User-Agent", UserAgent);
    if (LastModified > 0) {
        HeaderLines.SetHeader("If-Modified-Since", FormatInternetDate(LastModified));
    }
    if (ContentRangeEnd != 0) {
        HeaderLines.SetHeader("Range", "bytes=" + std::to_string(ContentRangeStart) + "-" +
                                           std::to_string(ContentRangeEnd));
    } else if (ContentRangeStart != 0) {
        HeaderLines.SetHeader("Range", "bytes=" + std::to_string(ContentRangeStart) + "-");
    }
    setIfPresent("Authorization", AuthorizationValue());
}

std::string TIdRequestHeaderInfo::AuthorizationValue() {
    return AuthorizationHeaderValue(Authenticator, BasicAuthentication, Username, Password);
}

// ---------------------------------------------------------------------------------------------

TIdResponseHeaderInfo::TIdResponseHeaderInfo() {
    Clear();
}

void TIdResponseHeaderInfo::Clear() {
    ClearEntity();
    Location.clear();
    ProxyConnection.clear();
    Server.clear();
    ProxyAuthenticate.Clear();
    WWWAuthenticate.Clear();
}

void TIdResponseHeaderInfo::ParseHeaderLines() {
    Location = HeaderLines.HeaderValue("Location");
    Server = HeaderLines.HeaderValue("Server");
    ProxyConnection = HeaderLines.HeaderValue("Proxy-Connection");
    // "bytes 0-99/1234" (RFC 2616 section 14.16); "*" in place of a number fails the parse.
    std::string range = HeaderLines.HeaderValue("Content-Range");
    if (!range.empty()) {
        Fetch(range, " ");
        ContentRangeStart = static_cast<std::uint32_t>(StrToInt(Fetch(range, "-")));
        ContentRangeEnd = static_cast<std::uint32_t>(StrToInt(Fetch(range, "/")));
    }
    WWWAuthenticate.Clear();
    HeaderLines.CollectValues("WWW-Authenticate", WWWAuthenticate);
    ProxyAuthenticate.Clear();
    HeaderLines.CollectValues("Proxy-Authenticate", ProxyAuthenticate);
    TIdEntityHeaderInfo::ParseHeaderLines();
}

// ---------------------------------------------------------------------------------------------

TIdProxyConnectionInfo::TIdProxyConnectionInfo() {
    Clear();
}

TIdProxyConnectionInfo::~TIdProxyConnectionInfo() = default;

void TIdProxyConnectionInfo::SetProxyServer(const std::string& server) {
    if (!SameTextAscii(server, proxyServer_)) {
        ProxyAuthenticator.reset();
    }
    proxyServer_ = server;
}

void TIdProxyConnectionInfo::SetProxyPort(int port) {
    if (port != proxyPort_) {
        ProxyAuthenticator.reset();
    }
    proxyPort_ = port;
}

void TIdProxyConnectionInfo::Clear() {
    proxyServer_.clear();
    ProxyUsername.clear();
    ProxyPassword.clear();
    proxyPort_ = 0;
}

void TIdProxyConnectionInfo::AddAuthorizationHeader(TIdHeaderList& headers) {
    const std::string value = AuthorizationHeaderValue(ProxyAuthenticator, BasicAuthentication,
                                                       ProxyUsername, ProxyPassword);
    if (!value.empty()) {
        headers.SetHeader("Proxy-Authorization", value);
    }
}

}  // namespace velomaris
