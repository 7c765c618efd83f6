// Shared by the cookie tests: a fixed time zone and a clock the test moves by hand.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "http/IdCookie.h"

namespace velomaris::cookietest {

// Sets TZ for the test so that local offsets are certain, and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            previous_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

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
