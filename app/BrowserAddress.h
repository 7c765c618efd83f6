// Web addresses as a browser treats them: a reference (a redirect's "Location") resolved
// against the address of the page that gave it.
#pragma once

#include <string>
#include <string_view>

namespace velomaris {

// Resolves reference against the absolute address base (RFC 3986 section 5.2: an absolute
// reference replaces the base, "//host/..." keeps the base's scheme, "/path" its host,
// "path" is merged with the base's directory, dot segments are removed). Bytes are kept as
// given: no percent-encoding or decoding (GBK text stays GBK). Blanks at both ends of the
// reference are dropped, as a browser does with a header value.
std::string ResolveReference(std::string_view base, std::string_view reference);

// The address without its fragment ("#..."), which is never sent to a server.
std::string WithoutFragment(std::string_view address);

}  // namespace velomaris
