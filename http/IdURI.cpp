#include "http/IdURI.h"

#include "http/IdHTTPHeaderInfo.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

constexpr size_t kNotFound = std::string_view::npos;

// Byte length of the character starting at pos: 2 for a GBK lead byte with a byte after it.
size_t CharLength(std::string_view text, size_t pos) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// First occurrence of needle that starts on a character boundary, searching from "from".
size_t FindOnBoundary(std::string_view text, std::string_view needle, size_t from = 0) {
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (pos >= from && text.compare(pos, needle.size(), needle) == 0) {
            return pos;
        }
    }
    return kNotFound;
}

// Last occurrence of the byte that starts on a character boundary before "end".
size_t FindLastOnBoundary(std::string_view text, char byte, size_t end) {
    size_t found = kNotFound;
    for (size_t pos = 0; pos < text.size() && pos < end; pos += CharLength(text, pos)) {
        if (text[pos] == byte) {
            found = pos;
        }
    }
    return found;
}

// Cuts text at the first delimiter (see TIdURI): the token before it is returned and text
// keeps what follows; without the delimiter the token is all of text and text becomes empty.
std::string Cut(std::string& text, std::string_view delimiter) {
    return CutToken(text, FindOnBoundary(text, delimiter), delimiter.size());
}

struct PathParts {
    std::string path;  // without a leading "/"
    std::string document;
    std::string params;
};

// The query starts at the first "?", or, without one, at the first "=" ("page=1").
PathParts SplitPath(const std::string& text) {
    size_t query = FindOnBoundary(text, "?");
    if (query == kNotFound) {
        query = FindOnBoundary(text, "=");
    }
    const size_t lastSlash =
        FindLastOnBoundary(text, '/', query == kNotFound ? text.size() : query + 1);
    const size_t pathLength = lastSlash == kNotFound ? 0 : lastSlash + 1;
    PathParts parts;
    parts.path = text.substr(0, pathLength);
    if (query != kNotFound) {
        parts.document = text.substr(0, query);
        parts.params = text.substr(query);
    } else {
        parts.document = text;
    }
    parts.document.erase(0, pathLength);
    return parts;
}

}  // namespace

TIdURI::TIdURI(std::string_view text) {
    if (!text.empty()) {
        SetURI(text);
    }
}

void TIdURI::Clear() {
    URI.clear();
    Protocol.clear();
    Username.clear();
    Password.clear();
    Host.clear();
    Port.clear();
    Path.clear();
    Document.clear();
    Params.clear();
    Bookmark.clear();
}

std::string TIdURI::NormalizeBackslashes(std::string_view text) {
    std::string result(text);
    for (size_t pos = 0; pos < result.size(); pos += CharLength(result, pos)) {
        if (result[pos] == '\\') {
            result[pos] = '/';
        }
    }
    return result;
}

void TIdURI::SetURI(std::string_view text) {
    Clear();
    URI = NormalizeBackslashes(text);
    std::string rest = URI;
    const size_t schemeEnd = FindOnBoundary(rest, "://");
    if (schemeEnd != kNotFound) {
        Protocol = rest.substr(0, schemeEnd);
        rest.erase(0, schemeEnd + 3);
        std::string authority = Cut(rest, "/");
        // user:password@host:port (RFC 3986 section 3.2)
        const size_t at = FindOnBoundary(authority, "@");
        if (at != kNotFound) {
            Password = authority.substr(0, at);
            authority.erase(0, at + 1);
        }
        Username = Cut(Password, ":");
        if (Username.empty()) {
            Password.clear();
        }
        Host = Cut(authority, ":");
        Port = authority;

        PathParts parts = SplitPath(rest);
        Path = "/" + parts.path;
        Document = std::move(parts.document);
        Params = std::move(parts.params);
        Bookmark = Document;
        Document = Cut(Bookmark, "#");
    } else {
        PathParts parts = SplitPath(rest);
        Path = std::move(parts.path);
        Document = std::move(parts.document);
        Params = std::move(parts.params);
    }
    // A "#" inside the query ends it.
    if (Bookmark.empty()) {
        Bookmark = Params;
        Params = Cut(Bookmark, "#");
    }
}

std::string TIdURI::GetFullURI() const {
    if (Protocol.empty()) {
        throw EIdURIException("Protocol field is empty");
    }
    if (Host.empty()) {
        throw EIdURIException("Host field is empty");
    }
    std::string text = Protocol + "://";
    if (!Username.empty()) {
        text += Username;
        if (!Password.empty()) {
            text += ":" + Password;
        }
        text += "@";
    }
    text += Host;
    if (!Port.empty()) {
        text += ":" + Port;
    }
    text += Path + Document + Params;
    if (!Bookmark.empty()) {
        text += "#" + Bookmark;
    }
    return text;
}

std::string TIdURI::MergePath(std::string_view basePath, std::string_view path,
                              std::string_view delimiter) {
    if (delimiter.empty() || path.starts_with(delimiter)) {
        return std::string(path);
    }
    const bool keepTrailing = path.empty() || path.ends_with(delimiter);
    std::string work(basePath);
    if (!work.empty() && !work.ends_with(delimiter)) {
        work += delimiter;
    }
    work += path;

    std::string result;
    size_t pos = 0;
    while (pos < work.size()) {
        if (work.compare(pos, delimiter.size(), delimiter) == 0) {
            if (pos == 0) {
                result = delimiter;
            } else if (!result.ends_with(delimiter)) {
                result += delimiter;
            }
            pos += delimiter.size();
        } else if (work[pos] == '.' && result.ends_with(delimiter) && pos + 1 < work.size() &&
                   work[pos + 1] == '.') {
            // ".." climbs one directory; a lone "." segment stays.
            result.erase(result.size() - delimiter.size());
            while (!result.empty() && !result.ends_with(delimiter)) {
                result.pop_back();
            }
            pos += 2;
        } else {
            result += work[pos];
            ++pos;
        }
    }
    if (result != delimiter && result.ends_with(delimiter) && !keepTrailing) {
        result.erase(result.size() - delimiter.size());
    }
    return result;
}

void ResolveRequestTarget(TIdURI& currentAddress, TIdHTTPRequest& request) {
    const TIdURI url(request.RequestURL);
    if (!url.Username.empty()) {
        request.Username = url.Username;
        request.Password = url.Password;
    }
    currentAddress.Username = request.Username;
    currentAddress.Password = request.Password;

    currentAddress.Path = TIdURI::MergePath(currentAddress.Path, url.Path, "/");
    currentAddress.Document = url.Document;
    currentAddress.Params = url.Params;
    if (!url.Host.empty()) {
        currentAddress.Host = url.Host;
    }
    currentAddress.Protocol = url.Protocol.empty() ? std::string("http") : url.Protocol;

    if (!url.Port.empty()) {
        currentAddress.Port = url.Port;
    } else {
        // Only a port that came from a scheme's default is derived again from the scheme: a
        // port the user named earlier (8080) stays for later URLs without one.
        const std::int32_t current = TryStrToInt(currentAddress.Port).value_or(0);
        if (current == 0 || current == 80 || current == 443) {
            if (SameTextAscii(currentAddress.Protocol, "http")) {
                currentAddress.Port = "80";
            } else if (SameTextAscii(currentAddress.Protocol, "https")) {
                currentAddress.Port = "443";
            } else {
                throw EIdUnknownProtocol();
            }
        }
    }

    std::string target;
    if (request.Method == TIdHTTPMethod::hmOptions && currentAddress.Document == "*") {
        target = "*";
    } else {
        target = currentAddress.Path + currentAddress.Document + currentAddress.Params;
    }
    std::string host;
    if (!currentAddress.Host.empty()) {
        host = currentAddress.Port == "80" ? currentAddress.Host
                                           : currentAddress.Host + ":" + currentAddress.Port;
    }
    // A CR or LF would end the request line or header early and let the rest of the address
    // be read as header lines of its own (RFC 9112 section 2.2); NUL is never valid.
    if (HoldsLineBreakOrNul(target) || HoldsLineBreakOrNul(host)) {
        throw EIdURIException("The address holds a line break or NUL byte and cannot be sent");
    }
    request.RequestURL = std::move(target);
    request.Host = std::move(host);
}

}  // namespace velomaris
