// URL splitting, path merging and the request target: no failure but the documented ones, a
// rebuilt URL rebuilds the same, and no request target or Host value ever carries a byte that would
// end a header line.
#include <cstdint>
#include <string>

#include "fuzz/support/FuzzInput.h"
#include "http/IdHTTP.h"
#include "http/IdURI.h"
#include "platform/Text.h"

using namespace velomaris;
using namespace velomaris::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string base = input.Part();
    const std::string path = input.Part();
    const std::string url = input.Rest();

    const TIdURI uri(url);
    try {
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
