// Time sources: a monotonic clock for timers and the wall clock's local time for the
// workflows (clock watch, result windows) and HTTP dates. The virtual clock lets tests move
// both at once without sleeping.
//
// Times are plain millisecond counts: this header is included by sources compiled with GBK
// literals, and g++ 12 cannot compile the standard <chrono> header that way (it holds a
// literal with a character GBK lacks).
#pragma once

#include <cstdint>
#include <mutex>

namespace velomaris {

// A local (or UTC) calendar date and time, broken into its fields.
struct TDateTimeParts {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
    int second = 0;   // 0..59 (60 for a leap second from the system)
    int millisecond = 0;

    bool operator==(const TDateTimeParts&) const = default;
};

class Clock {
public:
    // Milliseconds on a monotonic scale with an arbitrary origin: never jumps with the wall
    // clock, so timer periods stay true.
    using TimePoint = std::int64_t;

    virtual ~Clock() = default;
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    virtual TimePoint Now() const = 0;
    // The wall clock: milliseconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t UtcNowMs() const = 0;
    // The wall clock in the local time zone.
    virtual TDateTimeParts LocalNow() const = 0;
    // Seconds east of UTC that local time had at the given wall-clock instant.
    virtual std::int32_t UtcOffsetSeconds(std::int64_t utcMs) const = 0;
};

// The system's clocks and time zone (steady_clock, system_clock, localtime_r).
class RealClock final : public Clock {
public:
    TimePoint Now() const override;
    std::int64_t UtcNowMs() const override;
    TDateTimeParts LocalNow() const override;
    std::int32_t UtcOffsetSeconds(std::int64_t utcMs) const override;
};

// A clock that moves only when told to. Monotonic and wall time advance together; local time
// is the wall time shifted by a fixed offset (no daylight-saving changes), so a test that sets
// "08:04:59" and advances one second sees "08:05:00" whatever the machine's time zone.
// Thread-safe: engines on worker threads may read it.
class VirtualClock final : public Clock {
public:
    // Starts at local 2010-08-31 15:45:46 with offset +08:00 unless told otherwise.
    VirtualClock();

    TimePoint Now() const override;
    std::int64_t UtcNowMs() const override;
    TDateTimeParts LocalNow() const override;
    std::int32_t UtcOffsetSeconds(std::int64_t utcMs) const override;

    // Moves monotonic and wall time forward; a negative step raises std::logic_error (the
    // monotonic clock never goes back).
    void Advance(std::int64_t milliseconds);
    // Moves both clocks forward to the given monotonic time; does nothing when already there.
    void AdvanceTo(TimePoint target);
    // Sets the wall clock so that local time reads these fields (the monotonic clock stays).
    void SetLocalTime(const TDateTimeParts& local);
    // Keeps the instant; local time moves with the new offset.
    void SetUtcOffsetSeconds(std::int32_t offset);

private:
    mutable std::mutex mutex_;
    TimePoint now_ = 1'000'000;
    std::int64_t utcMs_ = 0;
    std::int32_t offset_ = 8 * 3600;
};

// Calendar conversions without any time zone (proleptic Gregorian, UTC), for milliseconds
// since 1970-01-01 00:00:00 UTC.
TDateTimeParts UtcParts(std::int64_t utcMs);
std::int64_t FromUtcParts(const TDateTimeParts& parts);

}  // namespace velomaris
