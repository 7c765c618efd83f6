// The Internet date reader on any text: no failure, and a date it reads is written by the
// formatter in a form it reads back as the same second.
#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/support/FuzzInput.h"
#include "http/IdHTTPHeaderInfo.h"

using namespace velomaris;
using velomaris::fuzz::Require;

namespace {

// 1 Jan 1900 and 31 Dec 9999 as day numbers: the years a four-digit field can carry.
constexpr double kFirstDay = 2.0;
constexpr double kLastDay = 2958466.0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TIdDateTime date = ReadInternetDate(text);
    Require(std::isfinite(date), "a read date is a finite number", text);
    if (date == 0 || date < kFirstDay || date >= kLastDay) {
        return 0;
    }
    const std::string written = FormatInternetDate(date);
    const TIdDateTime again = ReadInternetDate(written);
    Require(std::fabs(again - date) * 86400.0 < 1.0, "a written date reads back as the same second",
            text + " -> " + written);
    return 0;
}
