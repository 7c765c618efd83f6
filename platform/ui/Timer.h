// A timer of the message loop: its handler runs on the loop thread, between other events.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/ui/Component.h"

namespace velomaris {

class TApplication;

// The rules the workflows rely on: created disabled; an interval of 0 (or less) never fires;
// enabling an enabled timer does not restart its period; a different interval while enabled
// restarts the period, the same interval changes nothing; a tick that comes late fires once
// (missed periods are not queued) and the next period counts from that tick.
class TTimer : public TComponent {
public:
    static constexpr std::int64_t kDefaultInterval = 1000;

    TTimer(TForm& owner, std::string name, std::int64_t intervalMs = kDefaultInterval);
    // A timer that belongs to no form (engines, tests).
    TTimer(TApplication& app, std::string name, std::int64_t intervalMs = kDefaultInterval);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::int64_t Interval() const { return interval_; }
    void SetInterval(std::int64_t intervalMs);

    std::function<void()> OnTimer;

    // When the next tick is due; empty while the timer cannot fire.
    std::optional<Clock::TimePoint> DueTime() const { return due_; }

private:
    friend class TApplication;
    void Arm();
    // Called by the loop when the tick is due: re-arms, then runs the handler.
    void Tick();

    TApplication& app_;
    bool enabled_ = false;
    std::int64_t interval_;
    std::optional<Clock::TimePoint> due_;
    std::uint64_t id_ = 0;
};

}  // namespace velomaris
