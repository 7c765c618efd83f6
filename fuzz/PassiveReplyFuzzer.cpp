// The text of a 227 reply: either a failure or an IPv4 address of four numbers 0..255 and a
// port 0..65535, which the PORT form writes back as the same six numbers.
#include <cstdint>
#include <string>

#include "fuzz/support/FuzzInput.h"
#include "net/IdFTP.h"

using namespace velomaris;
using velomaris::fuzz::Require;

namespace {

bool IsDottedQuadOfBytes(const std::string& ip) {
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = ip.find('.', start);
        const std::string part = ip.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != part.npos ||
            std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::pair<std::string, int> address;
    try {
        address = TIdFTP::ParsePassiveReply(text);
    } catch (const Exception&) {
        return 0;
    }
    Require(IsDottedQuadOfBytes(address.first), "the address is four numbers 0..255",
            address.first);
    Require(address.second >= 0 && address.second <= 65535, "the port is 0..65535");
    const std::string port = TIdFTP::FormatPortCommand(address.first, address.second);
    const std::pair<std::string, int> again = TIdFTP::ParsePassiveReply(port.substr(5));
    Require(again == address, "the PORT form reads back as the same address and port", port);
    return 0;
}
