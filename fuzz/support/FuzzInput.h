// Helpers shared by the fuzz targets: reading a fuzz input in simple length-prefixed parts
// (so seed files can be written by hand), and stopping on a broken promise.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace velomaris::fuzz {

// Takes parts off the front of the input: a byte, a part whose length is given by one byte
// before it, or everything left.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    // One length byte, then that many bytes (fewer when the input ends first).
    std::string Part() {
        const std::size_t length = std::min<std::size_t>(Byte(), rest_.size());
        std::string part(rest_.substr(0, length));
        rest_.remove_prefix(length);
        return part;
    }
    std::string Rest() {
        std::string rest(rest_);
        rest_ = {};
        return rest;
    }

private:
    std::string_view rest_;
};

// A promise of the code under test is broken: say which and stop, so the fuzzer keeps the
// input that shows it.
[[noreturn]] inline void Broken(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "broken: %s\n%s\n", what, detail.c_str());
    std::abort();
}

inline void Require(bool promise, const char* what, const std::string& detail = std::string()) {
    if (!promise) {
        Broken(what, detail);
    }
}

}  // namespace velomaris::fuzz
