#include "platform/ui/Application.h"

#include <algorithm>
#include <tuple>

#include "platform/ui/Timer.h"

namespace velomaris {

TApplication::TApplication(TUiBackend& backend, Clock& clock) : backend_(backend), clock_(clock) {}

TApplication::~TApplication() {
    mainForm_ = nullptr;
    foregroundForm_ = nullptr;
    while (!forms_.empty()) {
        forms_.pop_back();
    }
}

void TApplication::Run() {
    if (mainForm_ != nullptr) {
        Deliver([this] { mainForm_->Show(); });
    }
    backend_.RunLoop(*this);
}

void TApplication::Terminate() {
    terminated_.store(true);
    backend_.Wake();
}

void TApplication::Minimize() {
    minimized_ = true;
    backend_.MinimizeApplication(*this);
}

void TApplication::Restore() {
    minimized_ = false;
    backend_.RestoreApplication(*this);
}

void TApplication::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(fn));
        hasPosted_.store(true, std::memory_order_release);
    }
    backend_.Wake();
}

void TApplication::PostDelayed(std::int64_t delayMs, std::function<void()> fn) {
    delayed_.emplace(nextId_++, DelayedCall{clock_.Now() + delayMs, std::move(fn)});
}

void TApplication::MessageBox(const std::string& text, const std::string& title,
                              TMessageBoxIcon icon) {
    backend_.ShowModalMessage(*this,
                              TMessageBoxRecord{TMessageKind::mkMessageBox, text, title, icon});
}

void TApplication::ShowMessage(const std::string& text) {
    backend_.ShowModalMessage(*this, TMessageBoxRecord{TMessageKind::mkPlainDialog, text, title_,
                                                       TMessageBoxIcon::mbNone});
}

void TApplication::ShowException(const std::string& message) {
    MessageBox(ErrorReportText(message), title_, TMessageBoxIcon::mbError);
}

void TApplication::Deliver(const std::function<void()>& handler) {
    std::string message;
    try {
        handler();
        return;
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = e.what();
    }
    // Reported outside the catch block: the box runs the loop, which may throw again.
    ShowException(message);
}

size_t TApplication::DispatchPosted() {
    // The loop looks here on every timer tick: an empty queue is seen without the lock.
    if (!HasPosted()) {
        return 0;
    }
    size_t count;
    {
        std::lock_guard lock(postedMutex_);
        count = posted_.size();
    }
    size_t ran = 0;
    // One at a time: a handler may open a box whose loop runs the next events itself.
    for (; ran < count; ++ran) {
        std::function<void()> fn;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty()) {
                break;
            }
            fn = std::move(posted_.front());
            posted_.pop_front();
            hasPosted_.store(!posted_.empty(), std::memory_order_release);
        }
        Deliver(fn);
    }
    return ran;
}

size_t TApplication::DispatchDue() {
    const Clock::TimePoint now = clock_.Now();
    // Snapshot of what is due now, in due order; each entry runs once even if its handler
    // takes longer than its period, so a slow handler cannot starve the posted events.
    std::vector<std::tuple<Clock::TimePoint, std::uint64_t, bool>> due;
    for (const auto& [id, timer] : timers_) {
        if (timer->due_ && *timer->due_ <= now) {
            due.emplace_back(*timer->due_, id, true);
        }
    }
    for (const auto& [id, call] : delayed_) {
        if (call.due <= now) {
            due.emplace_back(call.due, id, false);
        }
    }
    std::sort(due.begin(), due.end());
    size_t ran = 0;
    for (const auto& [when, id, isTimer] : due) {
        if (isTimer) {
            // The timer may have been destroyed, disabled or re-armed by an earlier handler.
            auto it = timers_.find(id);
            if (it == timers_.end() || !it->second->due_ || *it->second->due_ > now) {
                continue;
            }
            TTimer* timer = it->second;
            Deliver([timer] { timer->Tick(); });
        } else {
            auto it = delayed_.find(id);
            if (it == delayed_.end()) {
                continue;
            }
            auto fn = std::move(it->second.fn);
            delayed_.erase(it);
            Deliver(fn);
        }
        ++ran;
    }
    return ran;
}

std::optional<Clock::TimePoint> TApplication::NextDueTime() const {
    std::optional<Clock::TimePoint> next;
    for (const auto& [id, timer] : timers_) {
        if (timer->due_ && (!next || *timer->due_ < *next)) {
            next = timer->due_;
        }
    }
    for (const auto& [id, call] : delayed_) {
        if (!next || call.due < *next) {
            next = call.due;
        }
    }
    return next;
}

bool TApplication::HasPosted() const {
    return hasPosted_.load(std::memory_order_acquire);
}

std::uint64_t TApplication::RegisterTimer(TTimer& timer) {
    const std::uint64_t id = nextId_++;
    timers_.emplace(id, &timer);
    return id;
}

void TApplication::UnregisterTimer(std::uint64_t id) {
    timers_.erase(id);
}

}  // namespace velomaris
