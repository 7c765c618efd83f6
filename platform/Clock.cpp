#include "platform/Clock.h"

#include <ctime>
#include <stdexcept>

namespace velomaris {

namespace {

using std::chrono::days;
using std::chrono::duration_cast;
using std::chrono::floor;
using std::chrono::milliseconds;
using std::chrono::seconds;

TDateTimeParts PartsOfTm(const std::tm& tm, int millisecond) {
    TDateTimeParts parts;
    parts.year = tm.tm_year + 1900;
    parts.month = tm.tm_mon + 1;
    parts.day = tm.tm_mday;
    parts.hour = tm.tm_hour;
    parts.minute = tm.tm_min;
    parts.second = tm.tm_sec;
    parts.millisecond = millisecond;
    return parts;
}

int MillisecondOf(std::chrono::system_clock::time_point at) {
    auto ms = duration_cast<milliseconds>(at.time_since_epoch()).count() % 1000;
    return static_cast<int>(ms < 0 ? ms + 1000 : ms);
}

}  // namespace

TDateTimeParts UtcParts(std::chrono::system_clock::time_point at) {
    const auto day = floor<days>(at);
    const std::chrono::year_month_day ymd{std::chrono::sys_days{day}};
    const std::chrono::hh_mm_ss time{floor<milliseconds>(at - day)};
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

std::chrono::system_clock::time_point FromUtcParts(const TDateTimeParts& parts) {
    const std::chrono::year_month_day ymd{std::chrono::year{parts.year},
                                          std::chrono::month{static_cast<unsigned>(parts.month)},
                                          std::chrono::day{static_cast<unsigned>(parts.day)}};
    auto at = std::chrono::sys_days{ymd} + std::chrono::hours{parts.hour} +
              std::chrono::minutes{parts.minute} + seconds{parts.second} +
              milliseconds{parts.millisecond};
    return std::chrono::system_clock::time_point{
        duration_cast<std::chrono::system_clock::duration>(at.time_since_epoch())};
}

Clock::TimePoint RealClock::Now() const {
    return std::chrono::time_point_cast<milliseconds>(std::chrono::steady_clock::now());
}

std::chrono::system_clock::time_point RealClock::UtcNow() const {
    return std::chrono::system_clock::now();
}

TDateTimeParts RealClock::LocalNow() const {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return PartsOfTm(tm, MillisecondOf(now));
}

std::int32_t RealClock::UtcOffsetSeconds(std::chrono::system_clock::time_point at) const {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return static_cast<std::int32_t>(tm.tm_gmtoff);
}

VirtualClock::VirtualClock() : now_(TimePoint{milliseconds{1'000'000}}) {
    utc_ = FromUtcParts(TDateTimeParts{2010, 8, 31, 15, 45, 46, 0}) - seconds{offset_};
}

Clock::TimePoint VirtualClock::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::chrono::system_clock::time_point VirtualClock::UtcNow() const {
    std::lock_guard lock(mutex_);
    return utc_;
}

TDateTimeParts VirtualClock::LocalNow() const {
    std::lock_guard lock(mutex_);
    return UtcParts(utc_ + seconds{offset_});
}

std::int32_t VirtualClock::UtcOffsetSeconds(std::chrono::system_clock::time_point) const {
    std::lock_guard lock(mutex_);
    return offset_;
}

void VirtualClock::Advance(milliseconds step) {
    if (step < milliseconds::zero()) {
        throw std::logic_error("VirtualClock cannot go back in time");
    }
    std::lock_guard lock(mutex_);
    now_ += step;
    utc_ += step;
}

void VirtualClock::AdvanceTo(TimePoint target) {
    std::lock_guard lock(mutex_);
    if (target > now_) {
        utc_ += target - now_;
        now_ = target;
    }
}

void VirtualClock::SetLocalTime(const TDateTimeParts& local) {
    std::lock_guard lock(mutex_);
    utc_ = FromUtcParts(local) - seconds{offset_};
}

void VirtualClock::SetUtcOffsetSeconds(std::int32_t offset) {
    std::lock_guard lock(mutex_);
    // Keep the same instant; local time moves with the new offset.
    offset_ = offset;
}

}  // namespace velomaris
