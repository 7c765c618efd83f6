#include "app/WorkflowAddresses.h"

namespace velomaris {

TFtpEndpoint SplitFtpAddress(std::string_view address, std::int32_t defaultPort) {
    const TFtpEndpoint whole{std::string(address), defaultPort};
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        address.find(':', colon + 1) != std::string_view::npos) {
        return whole;
    }
    const std::string_view digits = address.substr(colon + 1);
    if (digits.empty()) {
        return whole;
    }
    std::int32_t port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return whole;
        }
        port = port * 10 + (c - '0');
        // Stop before the value can overflow: anything past 65535 is not a port.
        if (port > 65535) {
            return whole;
        }
    }
    if (port < 1) {
        return whole;
    }
    return TFtpEndpoint{std::string(address.substr(0, colon)), port};
}

std::string SiteAddressOf(std::string_view webmain) {
    // GBK trail bytes lie in 0x40..0xFE, so a "/" byte is always the character "/".
    const std::size_t slash = webmain.rfind('/');
    if (slash == std::string_view::npos) {
        return std::string(webmain);
    }
    const std::size_t scheme = webmain.find("://");
    if (scheme != std::string_view::npos && slash == scheme + 2) {
        return std::string(webmain);
    }
    return std::string(webmain.substr(0, slash));
}

}  // namespace velomaris
