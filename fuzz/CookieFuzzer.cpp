// The cookie store on any Set-Cookie texts: reading, keeping and replacing never fail (but
// for the documented Port list error, EConvertError), a domain never holds more than its limit, and
// the Cookie value built for a request never carries a byte that would end the header line.
#include <cstdint>
#include <string>

#include "fuzz/support/FuzzInput.h"
#include "http/IdCookieManager.h"
#include "platform/Text.h"

using namespace velomaris;
using namespace velomaris::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string host = input.Part();
    const std::string path = input.Part();
    const std::uint8_t classes = input.Byte();
    const std::string texts = input.Rest();

    // A fixed moment, so an input behaves the same on every run: 11 Dec 2026 noon.
    TIdCookieManager manager([] { return 46367.5; });
    // The client refuses a host with CR, LF or NUL before any request (ResolveRequestTarget).
    const std::string requestHost =
        host.empty() || HoldsLineBreakOrNul(host) ? "www.fuzz.invalid" : host;
    TIdHeaderList headers;
    std::size_t start = 0;
    int line = 0;
    while (start < texts.size()) {
        std::size_t end = texts.find('\n', start);
        if (end == std::string::npos) {
            end = texts.size();
        }
        const std::string text = texts.substr(start, end - start);
        const auto cookieClass = static_cast<TIdCookieClass>((classes >> (line % 4 * 2)) % 3);
        try {
            manager.StoreCookie(text, requestHost, cookieClass);
        } catch (const EConvertError&) {
            // The documented failure of a Port list that is not numbers.
        }
        headers.Add((line % 2 == 0 ? "Set-Cookie: " : "Set-Cookie2: ") + text);
        start = end + 1;
        ++line;
    }
    try {
        manager.StoreResponseCookies(headers, requestHost);
    } catch (const EConvertError&) {
    }
    for (int i = 0; i < manager.Cookies().DomainCount(); ++i) {
        int kept = 0;
        const TIdCookieList& list = manager.Cookies().CookiesAt(i);
        for (int j = 0; j < list.Count(); ++j) {
            kept += list.ObjectAt(j) != nullptr ? 1 : 0;
        }
        Require(kept <= TIdCookieManager::kMaxCookiesPerDomain, "a domain keeps at most its limit");
    }
    const std::string value =
        manager.BuildCookieValue(requestHost, path.empty() ? "/" : path, false);
    Require(!HoldsLineBreakOrNul(value), "the Cookie value is one line", value);
    manager.PurgeExpired();
    (void)manager.BuildCookieValue(requestHost, "/", true);
    return 0;
}
