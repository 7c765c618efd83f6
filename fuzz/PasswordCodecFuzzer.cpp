// The password codec: any stored text decodes without failing, and every password comes back
// from its stored form unchanged.
#include <cstdint>

#include "fuzz/support/FuzzInput.h"
#include "settings/PasswordCodec.h"

using namespace velomaris;
using velomaris::fuzz::FuzzInput;
using velomaris::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t firstKey = input.Byte();
    const std::uint8_t secondKey = input.Byte();
    const std::string text = input.Rest();

    (void)DecodePassword(text);
    (void)UnscrambleText(text);

    // The keys come from the input, so a broken round trip can be replayed.
    int draws = 0;
    PasswordCodecSources sources;
    sources.drawKey = [&] {
        return static_cast<unsigned char>(1 + (draws++ % 2 == 0 ? firstKey : secondKey) % 126);
    };
    sources.localNow = [] {
        std::tm now{};
        now.tm_year = 126;
        now.tm_mon = 11;
        now.tm_mday = 11;
        return now;
    };
    const std::string stored = EncodePassword(text, sources);
    Require(stored.size() == text.size() + 16, "the stored form is the password plus 16 bytes");
    Require(DecodePassword(stored) == text, "a password comes back from its stored form", text);
    return 0;
}
