// URL splitting, path merging and the request target: no failure but the documented ones, a
// rebuilt URL rebuilds the same, and no request target or Host value ever carries a byte that would
// end a header line.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/support/FuzzInput.h"
#include "http/IdHTTP.h"
#include "http/IdURI.h"
#include "platform/Text.h"

using namespace velomaris;
using namespace velomaris::fuzz;

namespace {

// Every byte from 81h to FEh starts a double-byte character whose second byte is 40h..7Eh or
// 80h..FEh.
bool IsWellFormedGbk(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0x80 || byte == 0xFF) {
            return false;
        }
        if (byte > 0x80) {
            if (i + 1 >= text.size()) {
                return false;
            }
            const auto trail = static_cast<unsigned char>(text[++i]);
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string base = input.Part();
    const std::string path = input.Part();
    const std::string url = input.Rest();

    const TIdURI uri(url);
    try {
        // A lead byte at the end of a part would pair with the delimiter written after it, so
        // only well-formed GBK is expected to come back the same.
        // Credentials holding a second "@" or ":" have no unique split either.
        if (!IsWellFormedGbk(url) || std::count(url.begin(), url.end(), '@') > 1) {
            throw EIdURIException("not well-formed GBK");
        }
        const std::string rebuilt = uri.GetFullURI();
        const TIdURI again(rebuilt);
        Require(again.GetFullURI() == rebuilt, "a rebuilt URL rebuilds the same", url);
    } catch (const EIdURIException&) {
    }
    (void)TIdURI::NormalizeBackslashes(url);

    (void)TIdURI::MergePath(base, path);

    TIdHTTP http;
    TIdURI current;
    current.SetURI("http://fuzz.invalid/dir/page.php");
    TIdHTTPRequest request(&http);
    request.RequestURL = url;
    try {
        ResolveRequestTarget(current, request);
    } catch (const EIdException&) {
        return 0;
    } catch (const EConvertError&) {
        return 0;
    }
    Require(!HoldsLineBreakOrNul(request.RequestURL), "the request target is one line", url);
    Require(!HoldsLineBreakOrNul(request.Host), "the Host value is one line", url);
    return 0;
}
