// Shared by the cookie tests: a fixed time zone and a clock the test moves by hand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "http/IdCookie.h"
#include "tests/support/ScopedTimeZone.h"

namespace velomaris::cookietest {

using testing::ScopedTimeZone;

// 2025-12-08 12:05:09 UTC, which is Mon, 8 Dec 2025 20:05:09 at +0800.
constexpr std::int64_t kStartUnixTime = 1765195509;

// Local time that moves only when the test says so. Copies of Clock() follow the moves.
class ManualClock {
public:
    ManualClock() : now_(std::make_shared<TIdDateTime>(UnixTimeToLocal(kStartUnixTime))) {}

    TIdCookieClock Clock() const {
        auto now = now_;
        return [now] { return *now; };
    }
    TIdDateTime Now() const { return *now_; }
    void AdvanceSeconds(double seconds) { *now_ += seconds / 86400.0; }

private:
    std::shared_ptr<TIdDateTime> now_;
};

}  // namespace velomaris::cookietest
