// The addresses the workflows derive from the settings: where the FTP server listens and where
// the uploaded static page can be seen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velomaris {

struct TFtpEndpoint {
    std::string host;
    std::int32_t port = 0;

    bool operator==(const TFtpEndpoint&) const = default;
};

// The FTP server named by the trimmed address text. "host:port" names another port when the
// port is digits only and the host is not empty and holds no other ":"; such a port outside
// 1..65535 raises EIdInvalidPort. Every other text is the host as it stands, on defaultPort.
TFtpEndpoint SplitFtpAddress(std::string_view address, std::int32_t defaultPort);

// The site address of a page address: the text before its last "/" (counted in bytes, so a
// double-byte character never hides it), or the whole address when it holds no "/". When the
// only "/" characters are the two after the scheme ("http://host"), the cut would leave
// "http:/", so the whole address is the site address.
std::string SiteAddressOf(std::string_view webmain);

}  // namespace velomaris
