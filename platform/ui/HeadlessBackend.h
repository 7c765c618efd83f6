// The backend without windows: its own message loop on a real or a virtual clock, and message
// boxes that are handed to a policy which decides when they close.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>

#include "platform/Clock.h"
#include "platform/ui/UiBackend.h"

namespace velomaris {

class THeadlessBackend final : public TUiBackend {
public:
    // Runs while a box is open; returning closes the box. A policy may run the loop meanwhile
    // (a test advances its virtual clock), which is how timers tick during a box.
    using MessagePolicy = std::function<void(const TMessageBoxRecord& box)>;

    explicit THeadlessBackend(Clock& clock);

    // The default policy closes every box at once, silently.
    void SetMessagePolicy(MessagePolicy policy);

    // With a real clock the loop sleeps until the next due timer or a posted event. With a
    // virtual clock it jumps the clock to the next due time instead, and sleeps only when
    // nothing at all is scheduled.
    void RunLoop(TApplication& app) override;
    void Wake() override;
    void ShowModalMessage(TApplication& app, const TMessageBoxRecord& box) override;

    // Whether the desktop this backend stands in for has a notification area (it has, unless
    // a test says otherwise).
    bool SystemTrayAvailable() const override { return trayAvailable_; }
    void SetSystemTrayAvailable(bool available) { trayAvailable_ = available; }

private:
    // Sleeps until Wake or until the time has passed (ms; negative: no limit).
    void Sleep(std::int64_t timeoutMs);

    Clock& clock_;
    MessagePolicy policy_;
    // 1 once Wake was called since the loop last looked. The loop sleeps on this word itself
    // (a futex), so a timer tick costs one wake-up and no lock hand-off, and a Wake that finds
    // the word already set costs no system call.
    std::atomic<std::uint32_t> woken_{0};
    bool trayAvailable_ = true;
};

// A policy that writes every box to the stream in UTF-8 and closes it at once:
// "[title] (icon) text", lone CRs shown as line breaks, bytes that are not GBK as \xNN.
THeadlessBackend::MessagePolicy PrintingMessagePolicy(std::ostream& out);
// The UTF-8 line PrintingMessagePolicy writes for a box, without the final line break.
std::string DescribeMessage(const TMessageBoxRecord& box);

}  // namespace velomaris
