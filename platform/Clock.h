// Time sources: a monotonic clock for timers and the wall clock's local time for the
// workflows (clock watch, result windows) and HTTP dates. The virtual clock lets tests move
// both at once without sleeping.
#pragma once

#include <chrono>
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
    // Monotonic milliseconds: never jumps with the wall clock, so timer periods stay true.
    using TimePoint = std::chrono::time_point<std::chrono::steady_clock, std::chrono::milliseconds>;

    virtual ~Clock() = default;
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    virtual TimePoint Now() const = 0;
    // The wall clock as UTC.
    virtual std::chrono::system_clock::time_point UtcNow() const = 0;
    // The wall clock in the local time zone.
    virtual TDateTimeParts LocalNow() const = 0;
    // Seconds east of UTC that local time had at the given instant.
    virtual std::int32_t UtcOffsetSeconds(std::chrono::system_clock::time_point at) const = 0;
};

// The system's clocks and time zone (steady_clock, system_clock, localtime_r).
class RealClock final : public Clock {
public:
    TimePoint Now() const override;
    std::chrono::system_clock::time_point UtcNow() const override;
    TDateTimeParts LocalNow() const override;
    std::int32_t UtcOffsetSeconds(std::chrono::system_clock::time_point at) const override;
};

// A clock that moves only when told to. Monotonic and wall time advance together; local time
// is the wall time shifted by a fixed offset (no daylight-saving changes), so a test that sets
// "08:04:59" and advances one second sees "08:05:00" whatever the machine's time zone.
// Thread-safe reads: engines on worker threads may look at it.
class VirtualClock final : public Clock {
public:
    // Starts at local 2010-08-31 15:45:46 with offset +08:00 unless told otherwise.
    VirtualClock();

    TimePoint Now() const override;
    std::chrono::system_clock::time_point UtcNow() const override;
    TDateTimeParts LocalNow() const override;
    std::int32_t UtcOffsetSeconds(std::chrono::system_clock::time_point at) const override;

    // Moves monotonic and wall time forward (a negative step is refused with std::logic_error:
    // the monotonic clock never goes back).
    void Advance(std::chrono::milliseconds step);
    // Moves both clocks forward to the given monotonic time; does nothing when already there.
    void AdvanceTo(TimePoint target);
    // Sets the wall clock so that local time reads these fields (the monotonic clock stays).
    void SetLocalTime(const TDateTimeParts& local);
    void SetUtcOffsetSeconds(std::int32_t offset);

private:
    mutable std::mutex mutex_;
    TimePoint now_;
    std::chrono::system_clock::time_point utc_;
    std::int32_t offset_ = 8 * 3600;
};

// Calendar conversions without any time zone (proleptic Gregorian, UTC).
TDateTimeParts UtcParts(std::chrono::system_clock::time_point at);
std::chrono::system_clock::time_point FromUtcParts(const TDateTimeParts& parts);

}  // namespace velomaris
