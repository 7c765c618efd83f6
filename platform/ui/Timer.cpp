#include "platform/ui/Timer.h"

#include "platform/ui/Application.h"
#include "platform/ui/Form.h"

namespace velomaris {

TTimer::TTimer(TForm& owner, std::string name, std::int64_t intervalMs)
    : TComponent(&owner, std::move(name)), app_(owner.Application()), interval_(intervalMs) {
    id_ = app_.RegisterTimer(*this);
}

TTimer::TTimer(TApplication& app, std::string name, std::int64_t intervalMs)
    : TComponent(nullptr, std::move(name)), app_(app), interval_(intervalMs) {
    id_ = app_.RegisterTimer(*this);
}

TTimer::~TTimer() {
    app_.UnregisterTimer(id_);
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled_) {
        Arm();
    } else {
        due_.reset();
    }
}

void TTimer::SetInterval(std::int64_t intervalMs) {
    if (intervalMs == interval_) {
        return;
    }
    interval_ = intervalMs;
    if (enabled_) {
        Arm();
    }
}

void TTimer::Arm() {
    if (interval_ > 0) {
        due_ = app_.GetClock().Now() + interval_;
    } else {
        due_.reset();
    }
}

void TTimer::Tick() {
    Arm();
    if (OnTimer) {
        auto handler = OnTimer;
        handler();
    }
}

}  // namespace velomaris
