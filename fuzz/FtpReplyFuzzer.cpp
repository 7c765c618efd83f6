// The FTP client's reply reading, fed through its control connection: any server bytes, cut
// into any receives, give the same outcome, and what the client sends stays its own fixed
// command lines whatever the server says.
#include <cstdint>
#include <string>
#include <typeinfo>

#include "fuzz/support/BufferIOHandler.h"
#include "fuzz/support/FuzzInput.h"
#include "net/IdFTP.h"

using namespace velomaris;
using namespace velomaris::fuzz;

namespace {

struct Outcome {
    std::string failure;
    std::string sent;
    std::int32_t code = 0;
    std::vector<std::string> text;
    std::string system;

    bool operator==(const Outcome&) const = default;
};

Outcome Session(const std::string& server, std::vector<std::size_t> pieces) {
    TBufferIOHandler peer(server, std::move(pieces));
    Outcome outcome;
    {
        TIdFTP ftp;
        ftp.SetIOHandler(&peer);
        ftp.SetHost("ftp.fuzz.invalid");
        ftp.SetUsername("user");
        ftp.SetPassword("secret");
        try {
            ftp.ConnectAndLogin(true);
            ftp.ChangeDirectory("www");
            // Whatever is left is read as further replies until something fails.
            for (int i = 0; i < 64; ++i) {
                ftp.ReadReply({});
            }
        } catch (const std::exception& e) {
            outcome.failure = std::string(typeid(e).name()) + ": " + e.what();
        }
        outcome.code = ftp.LastReply().NumericCode();
        outcome.text = ftp.LastReply().Text;
        outcome.system = ftp.ServerSystem();
    }
    outcome.sent = peer.Sent();
    return outcome;
}

// Every line the client sent is one of its own commands.
void RequireOwnCommands(const std::string& sent) {
    static const char* const kLines[] = {"USER user", "PASS secret", "TYPE I", "SYST", "CWD www"};
    std::size_t start = 0;
    while (start < sent.size()) {
        const std::size_t end = sent.find("\r\n", start);
        Require(end != std::string::npos, "every command ends with CR LF", sent);
        const std::string line = sent.substr(start, end - start);
        bool known = false;
        for (const char* own : kLines) {
            known = known || line == own;
        }
        Require(known, "the client sends only its own command lines", line);
        start = end + 2;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::vector<std::size_t> pieces = PieceSizesFrom(input.Part());
    const std::string server = input.Rest();

    const Outcome whole = Session(server, {});
    RequireOwnCommands(whole.sent);
    const Outcome split = Session(server, pieces);
    Require(whole == split, "the outcome depends on how the replies are cut",
            whole.failure + " / " + split.failure);
    const Outcome bytewise = Session(server, std::vector<std::size_t>(server.size(), 1));
    Require(whole == bytewise, "the outcome depends on one-byte receives",
            whole.failure + " / " + bytewise.failure);
    return 0;
}
