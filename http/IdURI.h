// Splitting a URL into its parts, merging paths, and folding each request's URL into the
// HTTP client's current address.
#pragma once

#include <string>
#include <string_view>

#include "net/IdException.h"

namespace velomaris {

class TIdHTTPRequest;

// A URL that cannot be rebuilt, or a request address that cannot be sent.
class EIdURIException : public EIdException {
public:
    using EIdException::EIdException;
};

// A scheme other than http or https, with no port to fall back on. The message is empty.
class EIdUnknownProtocol : public EIdException {
public:
    EIdUnknownProtocol() : EIdException("") {}
};

// The parts of a URL. No percent-encoding or decoding happens: every byte is kept as given.
// Searches never match inside a GBK double-byte character.
class TIdURI {
public:
    TIdURI() = default;
    explicit TIdURI(std::string_view text);

    // Clears every field, then splits text into them; backslashes become slashes first.
    void SetURI(std::string_view text);
    // The URL rebuilt from the fields; raises EIdURIException "Protocol field is empty" or
    // "Host field is empty" when those are missing.
    std::string GetFullURI() const;

    // Merges path into basePath: an absolute path replaces the base, runs of delimiters
    // collapse, ".." climbs one directory (RFC 3986 section 5.2.4, in a simpler form).
    static std::string MergePath(std::string_view basePath, std::string_view path,
                                 std::string_view delimiter = "/");
    // Every backslash replaced by a slash, trail bytes of GBK characters left alone.
    static std::string NormalizeBackslashes(std::string_view text);

    std::string URI;       // the full text last assigned, normalised
    std::string Protocol;  // scheme without "://", case kept
    std::string Username;
    std::string Password;
    std::string Host;
    std::string Port;      // as written; empty when the URL names none
    std::string Path;      // directory part, ending with "/" when not empty
    std::string Document;  // last path segment
    std::string Params;    // query with its leading "?" (or "=")
    std::string Bookmark;  // fragment without "#"

private:
    void Clear();
};

// Folds the request's URL (RequestURL) into currentAddress: a URL that names host, port or
// an absolute path replaces them, one that lacks them inherits them. Then RequestURL becomes
// the request target (path, document and params) and the request's Host the "Host" value.
// Raises EIdUnknownProtocol for a scheme other than http/https without a port, and
// EIdURIException when the target or the host holds CR, LF or NUL (which would let a crafted
// address inject header lines).
void ResolveRequestTarget(TIdURI& currentAddress, TIdHTTPRequest& request);

}  // namespace velomaris
