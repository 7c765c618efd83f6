#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

namespace velomaris {

namespace {

using std::chrono::days;
using std::chrono::duration_cast;
using std::chrono::floor;
using std::chrono::milliseconds;

using SysMs = std::chrono::sys_time<milliseconds>;

std::int32_t OffsetAt(std::time_t t) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return static_cast<std::int32_t>(tm.tm_gmtoff);
}

}  // namespace

TDateTimeParts UtcParts(std::int64_t utcMs) {
    const SysMs at{milliseconds{utcMs}};
    const auto day = floor<days>(at);
    const std::chrono::year_month_day ymd{day};
    const std::chrono::hh_mm_ss time{at - day};
    TDateTimeParts parts;
    parts.year = static_cast<int>(ymd.year());
    parts.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    parts.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    parts.hour = static_cast<int>(time.hours().count());
    parts.minute = static_cast<int>(time.minutes().count());
    parts.second = static_cast<int>(time.seconds().count());
    parts.millisecond = static_cast<int>(time.subseconds().count());
    return parts;
}

std::int64_t FromUtcParts(const TDateTimeParts& parts) {
    const std::chrono::year_month_day ymd{std::chrono::year{parts.year},
                                          std::chrono::month{static_cast<unsigned>(parts.month)},
                                          std::chrono::day{static_cast<unsigned>(parts.day)}};
    const SysMs at = std::chrono::sys_days{ymd} + std::chrono::hours{parts.hour} +
                     std::chrono::minutes{parts.minute} + std::chrono::seconds{parts.second} +
                     milliseconds{parts.millisecond};
    return at.time_since_epoch().count();
}

Clock::TimePoint RealClock::Now() const {
    return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::int64_t RealClock::UtcNowMs() const {
    return duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TDateTimeParts RealClock::LocalNow() const {
    const std::int64_t utcMs = UtcNowMs();
    const std::time_t t =
        static_cast<std::time_t>(floor<std::chrono::seconds>(milliseconds{utcMs}).count());
    return UtcParts(utcMs + std::int64_t{OffsetAt(t)} * 1000);
}

std::int32_t RealClock::UtcOffsetSeconds(std::int64_t utcMs) const {
    return OffsetAt(
        static_cast<std::time_t>(floor<std::chrono::seconds>(milliseconds{utcMs}).count()));
}

VirtualClock::VirtualClock() {
    utcMs_ =
        FromUtcParts(TDateTimeParts{2010, 8, 31, 15, 45, 46, 0}) - std::int64_t{offset_} * 1000;
}

Clock::TimePoint VirtualClock::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::int64_t VirtualClock::UtcNowMs() const {
    std::lock_guard lock(mutex_);
    return utcMs_;
}

TDateTimeParts VirtualClock::LocalNow() const {
    std::lock_guard lock(mutex_);
    return UtcParts(utcMs_ + std::int64_t{offset_} * 1000);
}

std::int32_t VirtualClock::UtcOffsetSeconds(std::int64_t) const {
    std::lock_guard lock(mutex_);
    return offset_;
}

void VirtualClock::Advance(std::int64_t milliseconds) {
    if (milliseconds < 0) {
        throw std::logic_error("VirtualClock cannot go back in time");
    }
    std::lock_guard lock(mutex_);
    now_ += milliseconds;
    utcMs_ += milliseconds;
}

void VirtualClock::AdvanceTo(TimePoint target) {
    std::lock_guard lock(mutex_);
    if (target > now_) {
        utcMs_ += target - now_;
        now_ = target;
    }
}

void VirtualClock::SetLocalTime(const TDateTimeParts& local) {
    std::lock_guard lock(mutex_);
    utcMs_ = FromUtcParts(local) - std::int64_t{offset_} * 1000;
}

void VirtualClock::SetUtcOffsetSeconds(std::int32_t offset) {
    std::lock_guard lock(mutex_);
    offset_ = offset;
}

}  // namespace velomaris
