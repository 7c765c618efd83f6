// Pins the local time zone (TZ) for one test, so that local offsets are certain, and restores
// it afterwards.
#pragma once

#include <ctime>
#include <string>

#include "tests/support/ScopedEnvironment.h"

namespace velomaris::testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone) {
        environment_.Set("TZ", zone);
        ::tzset();
    }
    ~ScopedTimeZone() {
        // The C library reads TZ again only at tzset().
        environment_.Restore();
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    ScopedEnvironment environment_;
};

}  // namespace velomaris::testing
