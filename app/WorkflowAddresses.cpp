#include "app/WorkflowAddresses.h"

#include <algorithm>
#include <optional>

#include "net/IdException.h"

#include "platform/Text.h"

namespace velomaris {

TFtpEndpoint SplitFtpAddress(std::string_view address, std::int32_t defaultPort) {
    const TFtpEndpoint whole{std::string(address), defaultPort};
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        address.find(':', colon + 1) != std::string_view::npos) {
        return whole;
    }
    const std::string_view digits = address.substr(colon + 1);
    // Digits only: a sign makes no port.
    if (digits.empty() || !IsAsciiDigit(digits.front())) {
        return whole;
    }
    // A number that is no port is refused before anything connects: taken as part of the
    // host name it would only fail later with a misleading lookup error.
    if (!std::all_of(digits.begin(), digits.end(), IsAsciiDigit)) {
        return whole;
    }
    const std::optional<std::int64_t> port = TryParseDecimalInt64(digits);
    if (!port || *port < 1 || *port > 65535) {
        throw EIdInvalidPort(std::string(digits));
    }
    return TFtpEndpoint{std::string(address.substr(0, colon)), static_cast<std::int32_t>(*port)};
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
