// The HTTP client's body readers (announced length, chunked, until the close) and the
// response head before them, fed through a connection: the outcome must not depend on how
// the bytes are cut into receives, and the request sent must be the same each time.
#include <cstdint>
#include <string>
#include <typeinfo>

#include "fuzz/support/BufferIOHandler.h"
#include "fuzz/support/FuzzInput.h"
#include "http/IdHTTP.h"

using namespace velomaris;
using namespace velomaris::fuzz;

namespace {

struct Outcome {
    std::string body;
    std::string failure;  // the exception's class and message; empty after a success
    std::string sent;

    bool operator==(const Outcome&) const = default;
};

Outcome Fetch(const std::string& response, std::vector<std::size_t> pieces) {
    TBufferIOHandler peer(response, std::move(pieces));
    Outcome outcome;
    {
        TIdHTTP http;
        http.SetIOHandler(&peer);
        // Small enough that a fuzzed size cannot make the run slow.
        http.MaxBodyBytes = 64 * 1024;
        TMemoryStream body;
        try {
            http.GetToStream("http://fuzz.invalid/dir/page.php", body);
        } catch (const std::exception& e) {
            outcome.failure = std::string(typeid(e).name()) + ": " + e.what();
        }
        // After a failure the caller throws the stream away: only a success's body counts.
        if (outcome.failure.empty()) {
            outcome.body = body.Bytes();
        }
    }
    outcome.sent = peer.Sent();
    return outcome;
}

// The response framed by the reader to exercise; mode 0 is the fuzzer's own bytes whole.
std::string Response(std::uint8_t mode, std::uint16_t length, const std::string& payload) {
    switch (mode % 4) {
        case 1:
            return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" +
                   payload;
        case 2:
            return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + payload;
        case 3:
            return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + payload;
        default:
            return payload;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t mode = input.Byte();
    const std::uint8_t lengthHigh = input.Byte();
    const std::uint16_t length = static_cast<std::uint16_t>(lengthHigh << 8 | input.Byte());
    const std::vector<std::size_t> pieces = PieceSizesFrom(input.Part());
    const std::string response = Response(mode, length, input.Rest());

    const Outcome whole = Fetch(response, {});
    const Outcome split = Fetch(response, pieces);
    if (!(whole == split)) {
        Broken("the outcome depends on how the response is cut",
               "whole: " + whole.failure + " / " + std::to_string(whole.body.size()) +
                   " bytes\nsplit: " + split.failure + " / " + std::to_string(split.body.size()) +
                   " bytes");
    }
    // One byte per receive: every possible cut at once.
    const Outcome bytewise = Fetch(response, std::vector<std::size_t>(response.size(), 1));
    Require(whole == bytewise, "the outcome depends on one-byte receives",
            whole.failure + " / " + bytewise.failure);
    return 0;
}
